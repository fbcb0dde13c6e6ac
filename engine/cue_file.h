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
//
// An audio CD's marks go with it: CATALOG and the album's TITLE, PERFORMER
// and SONGWRITER before the first FILE; per track its texts, ISRC, FLAGS
// (DCP, 4CH, PRE), INDEX 00 where the pre-gap starts and INDEX 02 and up.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "drive/disc_marks.h"

namespace vestrel {

// A track kept in a file of its own: a data track as an ISO file of
// 2048-byte sectors (BINARY, MODE1/2048), an audio track as a WAV file
// (WAVE, AUDIO). Each track starts at the start of its file.
struct CueTrackFile {
    bool isData = false;
    std::u16string fileName;
    uint32_t sectors = 0;  // needed for the pre-gap of the track after it
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

// True for a text a cue sheet can quote (TITLE, PERFORMER, SONGWRITER):
// no quote, no control character. A quote has no escape in cue sheets.
bool IsCueText(std::string_view text);

// "mm:ss:ff" for a count of sectors; minutes take more digits when needed.
std::string CueTime(uint64_t sectors);

// The cue sheet over one file per track. The files follow the table of
// contents, so a track's pre-gap is the tail of the file before: its TRACK
// line and INDEX 00 stand in that FILE, its INDEX 01 at the start of its
// own. Audio hidden before track 1 is at the start of track 1's file
// (INDEX 00 00:00:00). Nothing when there are no tracks, more than 99, a
// name is not plain, or the marks do not fit (see CueMarksFit), or a
// pre-gap lies in a file of the other kind.
std::optional<std::string> TrackFilesCue(std::span<const CueTrackFile> tracks,
                                         const DiscMarks& marks = {});

// The cue sheet of one raw image holding the tracks one after another,
// each track's INDEX 01 at its first sector (after the hidden audio on
// track 1), its INDEX 00 that pre-gap earlier. Nothing when there are no
// tracks, more than 99, an empty track, the name is not plain, or the
// marks do not fit.
std::optional<std::string> RawImageCue(std::u16string_view imageName,
                                       std::span<const CueRawTrack> tracks,
                                       const DiscMarks& marks = {});

// Marks a cue sheet over tracks of these sizes can hold: none, or one per
// track; a 13-digit MCN, ISRCs, quotable texts; flags of track_flag; each
// pre-gap within the track before (none on track 1), hidden audio on track
// 1 only, indexes rising within their track.
bool CueMarksFit(std::span<const uint32_t> sectors, const DiscMarks& marks);

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
    // INDEX 00 in the FILE before this track's, as sectors from that
    // file's start: the pre-gap is that file's tail. Its length needs the
    // file's size, so the marks' preGap is left to whoever measures it.
    std::optional<uint64_t> preGapInFileBefore;
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
// write (REM, PREGAP, POSTGAP, COMPOSER...) passed over. Tracks are
// numbered 1, 2, ... each with one INDEX 01 after any INDEX 00 and indexes
// 02 and up numbered one after another, and follow one another within a
// file. A track whose INDEX 00 is followed by a FILE line continues in
// that file, which its INDEX 01 must start. Anything else is an error
// naming its line.
//
// `marks` (when given) gets CATALOG, the texts, and per track (one each)
// ISRC, FLAGS, texts, INDEX 02 and up, the pre-gap of an INDEX 00 in the
// same file as the track before, and as hidden audio the sectors before
// an audio track 1's INDEX 01 from the start of its file (or its INDEX
// 00). Malformed values are errors: a code that is not one, an unknown
// flag.
std::optional<std::vector<CueReadFile>> ReadCueSheet(std::string_view text, CueReadError& error,
                                                     DiscMarks* marks = nullptr);

}  // namespace vestrel
