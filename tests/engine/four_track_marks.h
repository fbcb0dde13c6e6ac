// A four-track audio CD with every mark a cue sheet holds: 30 s of audio
// hidden before track 1, pre-gaps of 2 s, none and 3.5 s, an INDEX 02 in
// track 3, ISRCs on three tracks, an MCN, flags, album and track texts.
#pragma once

#include <cstdint>
#include <vector>

#include "drive/disc_marks.h"

namespace vestrel::testing_marks {

// Sectors of each track as the table of contents has them; track 1's
// include its hidden audio.
inline const std::vector<uint32_t> kFourTrackSectors = {2550, 400, 500, 600};

inline DiscMarks FourTrackMarks() {
    DiscMarks m;
    m.catalogNumber = "0012345678905";
    m.texts = {"Album", "The Band", ""};
    m.tracks.resize(4);
    m.tracks[0].hiddenAudio = 2250;
    m.tracks[0].isrc = "USRC17607839";
    m.tracks[0].texts = {"Hidden Intro", "The Band", ""};
    m.tracks[1].preGap = 150;
    m.tracks[1].flags = track_flag::PreEmphasis;
    m.tracks[1].isrc = "GBAYE0000351";
    m.tracks[1].texts = {"Two", "", ""};
    m.tracks[2].indexes = {200};
    m.tracks[2].isrc = "FRZ039800212";
    m.tracks[2].texts = {"Three", "", "Ann"};
    m.tracks[3].preGap = 263;  // 3.5 s, to the frame
    m.tracks[3].flags = track_flag::CopyPermitted | track_flag::FourChannels;
    m.tracks[3].texts = {"Four", "", ""};
    return m;
}

}  // namespace vestrel::testing_marks
