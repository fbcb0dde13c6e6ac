// What an audio CD carries besides its tracks' sectors: the catalog number
// (MCN), each track's ISRC and flags, pre-gaps, index marks, audio hidden
// before track 1, and the CD-Text of the album and its tracks. A source
// record holds them as read from the disc or a cue sheet; cue sheets and
// the copy's Session-at-Once cue sheet are written from them. Positions
// count blocks of the copy, whose tracks follow one another from LBA 0.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vestrel {

// Q CONTROL bits besides the data bit, as TrackMarks::flags holds them.
namespace track_flag {
constexpr uint8_t PreEmphasis = 0x1;
constexpr uint8_t CopyPermitted = 0x2;
constexpr uint8_t FourChannels = 0x8;
constexpr uint8_t All = PreEmphasis | CopyPermitted | FourChannels;
}  // namespace track_flag

// The CD-Text of the album or of one track, UTF-8; empty when absent.
struct CdTexts {
    std::string title;
    std::string performer;
    std::string songwriter;

    bool operator==(const CdTexts&) const = default;
};

struct TrackMarks {
    uint8_t flags = 0;  // track_flag bits
    std::string isrc;   // 12 characters, or empty
    // INDEX 00 this many blocks before INDEX 01, in the track before's
    // blocks; track 1's pre-gap is always the 150 blocks before LBA 0.
    uint32_t preGap = 0;
    // INDEX 01 this many blocks after the track's first block: audio hidden
    // before track 1's start. 0 for the other tracks.
    uint32_t hiddenAudio = 0;
    // INDEX 02, 03..., each as blocks after INDEX 01.
    std::vector<uint32_t> indexes;
    CdTexts texts;

    bool operator==(const TrackMarks&) const = default;
};

struct DiscMarks {
    std::string catalogNumber;  // the MCN, 13 digits, or empty
    // The copy's lead-in carries CD-Text, written by the host.
    bool cdText = false;
    CdTexts texts;                   // the album's
    std::vector<TrackMarks> tracks;  // one per track, or none

    bool operator==(const DiscMarks&) const = default;
};

}  // namespace vestrel
