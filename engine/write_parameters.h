// The write parameters mode page (05h) a recording sets before it starts:
// the drive's default page, read with MODE SENSE, with the write type,
// track mode and data block type of the copy, sent back with MODE SELECT.
#pragma once

#include <cstdint>
#include <span>

#include "drive/disc_types.h"

namespace vestrel {

// CD-R and CD-RW blanks get a cue sheet and a pre-gap; every other blank
// gets one track reservation per track.
constexpr bool IsCdBlank(DiscType blank) {
    return (blank & (disc::CdR | disc::CdRw)) != 0;
}

// Sets the bytes of page 05h in a MODE SENSE (10) reply read with DBD (the
// page follows the 8-byte header) for Session-at-Once recording on `blank`;
// every other byte stays as the drive returned it. False, changing nothing,
// when the buffer does not hold page 05h.
bool ApplyWriteParameters(std::span<uint8_t> modeSenseReply, DiscType blank,
                          bool bufferUnderrunFree);

// True when the drive's capabilities page reports buffer-underrun-free
// recording (BUF). Holds the drive lock for the query.
bool QueryBufferUnderrunFree(char16_t letter);

// Up to five attempts, each after a random pause and under the drive lock,
// of MODE SENSE page 05h, the changes above and MODE SELECT. True when a
// MODE SELECT was accepted.
bool SetWriteParameters(char16_t letter, DiscType blank);

}  // namespace vestrel
