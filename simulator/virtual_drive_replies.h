// The answers the virtual drive's command families share: success, a
// pass-through request that failed, and the refusals (sense key 5,
// ILLEGAL REQUEST), named once. Only the drive's own sources include it.
#pragma once

#include <cstdint>

#include "drive/scsi_result.h"
#include "simulator/virtual_drive.h"

namespace vestrel::sim {

constexpr uint32_t kErrorIoDevice = 1117;   // the OS error of a failed transfer
constexpr uint32_t kErrorSemTimeout = 121;  // the OS error of a timed-out request

constexpr ScsiResult Good() {
    return ScsiResult{};
}

constexpr ScsiResult IoFailure(uint32_t osError) {
    return ScsiResult{StatusIoControlFailed, osError};
}

constexpr ScsiResult kInvalidOpcode = Sense(5, 0x20, 0);
constexpr ScsiResult kInvalidField = Sense(5, 0x24, 0);
constexpr ScsiResult kInvalidParameter = Sense(5, 0x26, 0);
constexpr ScsiResult kParameterLength = Sense(5, 0x1A, 0);
constexpr ScsiResult kSequenceError = Sense(5, 0x2C, 0);
constexpr ScsiResult kOutOfRange = Sense(5, 0x21, 0);
constexpr ScsiResult kInvalidWriteAddress = Sense(5, 0x21, 0x02);
constexpr ScsiResult kIncompatibleFormat = Sense(5, 0x30, 0x05);  // the medium does not take it
constexpr ScsiResult kIllegalMode = Sense(5, 0x64, 0);

}  // namespace vestrel::sim
