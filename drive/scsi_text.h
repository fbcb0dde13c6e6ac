// Words for opcodes and statuses, and the details text of a drive that
// failed its probe.
#pragma once

#include <cstdint>
#include <string>

namespace vestrel {

// The kinds of probe failure that have a details text.
enum class ProbeFailureKind : int {
    IoControlError = 2,
    ScsiError = 3,
    NotOptical = 4,
};

std::u16string CommandName(uint8_t opcode);
std::u16string ScsiStatusName(uint32_t status);

// systemMessage is the system's text for osError; the overload without it
// asks the platform.
std::u16string FormatProbeDetails(ProbeFailureKind kind, uint8_t opcode, uint32_t osError,
                                  uint32_t status, uint8_t senseKey, uint8_t asc, uint8_t ascq,
                                  std::u16string_view systemMessage);
std::u16string FormatProbeDetails(ProbeFailureKind kind, uint8_t opcode, uint32_t osError,
                                  uint32_t status, uint8_t senseKey, uint8_t asc, uint8_t ascq);

}  // namespace vestrel
