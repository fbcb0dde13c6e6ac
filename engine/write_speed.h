// The recording speed: one step below the fastest write speed the drive
// reports for the blank, set with SET CD SPEED and SET STREAMING; and the
// drive's own streaming defaults restored when a writer ends.
#pragma once

#include <cstdint>
#include <optional>

#include "drive/bytes.h"
#include "drive/disc_types.h"

namespace vestrel {

struct SpeedChoice {
    uint32_t readSpeed = 0;   // kB/s
    uint32_t writeSpeed = 0;  // kB/s
};

// The speeds to set from a GET PERFORMANCE (write speed) reply: the read
// speed of the first descriptor; the write speed of the second, or, when
// there is only one, the first's lowered by one step of the blank's kind
// (150 kB/s for CD, 1352 for DVD, 4394 for HD DVD and BD). A speed no
// larger than the step is kept as it is. Nothing when the reply holds no
// descriptor.
std::optional<SpeedChoice> ChooseWriteSpeed(ByteReader performanceReply, DiscType blank);

// Up to five attempts, each after a random pause and under the drive lock:
// GET PERFORMANCE, then SET CD SPEED and SET STREAMING with the chosen
// speeds (both sent). True when both were accepted; the write speed set
// goes to `writeSpeed` when given.
bool SelectWriteSpeed(char16_t letter, DiscType blank, uint32_t* writeSpeed = nullptr);

// SET STREAMING with the restore-defaults descriptor; the result does not
// matter to anyone.
void RestoreStreamingDefaults(char16_t letter);

}  // namespace vestrel
