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
#include <vector>

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

// A cue sheet as read: its files in order, each with the tracks it holds.
enum class CueMode {
    Audio,     // AUDIO: 2352 bytes a sector
    Mode1,     // MODE1/2048: user data only
    Mode1Raw,  // MODE1/2352: whole Mode 1 sectors
};
constexpr uint32_t CueSectorBytes(CueMode mode) {
    return mode == CueMode::Mode1 ? 2048 : 2352;
}

struct CueReadTrack {
    uint32_t number = 0;
    CueMode mode = CueMode::Audio;
    // INDEX 01: the track's first sector, counted from the start of the
    // file in sectors.
    uint64_t start = 0;
    size_t line = 0;       // its TRACK line
    size_t startLine = 0;  // its INDEX 01 line
};

struct CueReadFile {
    std::string name;   // as quoted, UTF-8
    bool wave = false;  // WAVE: the sectors follow a WAV header; else BINARY
    size_t line = 0;
    std::vector<CueReadTrack> tracks;
};

struct CueReadError {
    size_t line = 0;  // from 1; 0 for the sheet as a whole
    std::string text;
};

// Reads the text of a cue sheet: FILE (BINARY or WAVE), TRACK (AUDIO,
// MODE1/2048, MODE1/2352) and INDEX, with the other commands CD tools
// write (CATALOG, TITLE, PERFORMER, REM, FLAGS, ISRC, PREGAP, POSTGAP...)
// passed over. Tracks are numbered 1, 2, ... each with one INDEX 01 after
// any INDEX 00, and follow one another within a file. Anything else is an
// error naming its line.
std::optional<std::vector<CueReadFile>> ReadCueSheet(std::string_view text, CueReadError& error);

}  // namespace vestrel
