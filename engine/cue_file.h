// Cue sheet files: the text beside disc image files that CD tools read,
// naming each file, the tracks in it, their modes and where each starts:
//
//   FILE "Disc-01.iso" BINARY
//     TRACK 01 MODE1/2048
//       INDEX 01 00:00:00
//
// Times are minutes, seconds and frames (75 a second) from the start of
// the file. Names stand between quotes and must be plain: printable ASCII
// without quotes or folder separators, in the cue sheet's own folder.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vestrel {

// A track kept in a file of its own: a data track as an ISO file of
// 2048-byte sectors (BINARY, MODE1/2048), an audio track as a WAV file
// (WAVE, AUDIO). Each track starts at the start of its file.
struct CueTrackFile {
    bool isData = false;
    std::u16string fileName;
};

// A track within one raw image of 2352-byte sectors: data as Mode 1
// sectors (MODE1/2352), audio as it is (AUDIO).
struct CueRawTrack {
    bool isData = false;
    uint32_t sectors = 0;
};

constexpr size_t kMaxCueTracks = 99;

// True for a name a cue sheet can quote as a file in its own folder.
bool IsPlainCueName(std::u16string_view name);

// "mm:ss:ff" for a count of sectors; minutes take more digits when needed.
std::string CueTime(uint64_t sectors);

// The cue sheet over one file per track. Nothing when there are no tracks,
// more than 99, or a name is not plain.
std::optional<std::string> TrackFilesCue(std::span<const CueTrackFile> tracks);

// The cue sheet of one raw image holding the tracks one after another,
// each track's INDEX 01 at its first sector. Nothing when there are no
// tracks, more than 99, an empty track, or the name is not plain.
std::optional<std::string> RawImageCue(std::u16string_view imageName,
                                       std::span<const CueRawTrack> tracks);

}  // namespace vestrel
