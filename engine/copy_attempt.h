// One copy a writer set out to record: told to its panel when the blank is
// ready and recording starts, and again when the copy ends, so that a
// report or a journal can account for every copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "drive/disc_types.h"

namespace vestrel {

enum class CopyEnd {
    Running,        // not ended yet
    Made,           // recorded (and verified equal, when asked) and ejected
    Failed,         // writing or verifying failed; the copy was given up
    SourceSkipped,  // the source was given up while this copy was recorded
    Stopped,        // the run was stopped during it
};

enum class Verification { NotAsked, Identical, Different, NotDone };

// What became of the source's CD-Text on a CD copy.
enum class CdTextCopy {
    NoTexts,         // the source has none, or the copy is not a CD
    Written,         // the copy's lead-in is recorded with it
    RecorderCannot,  // the recorder does not record R-W sub-channels: left out
    NoLeadInStart,   // the blank did not tell where its lead-in starts: left out
};

struct CopyAttempt {
    char16_t recorder = 0;
    size_t source = 0;    // the source's place in the source table
    uint32_t copy = 0;    // 1-based, of this recorder's copies of the source
    uint32_t copies = 0;  // this recorder's copies of the source
    DiscType blankType = disc::None;
    uint32_t writeSpeed = 0;  // kB/s as set for the copy; 0 when not known
    CopyEnd end = CopyEnd::Running;
    std::u16string status;  // the status the copy ended with
    Verification verification = Verification::NotAsked;
    CdTextCopy cdText = CdTextCopy::NoTexts;  // known when recording starts
};

}  // namespace vestrel
