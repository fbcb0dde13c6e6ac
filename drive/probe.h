// Whether a drive is a real, usable MMC drive: TEST UNIT READY, INQUIRY and
// GET CONFIGURATION, and the first of them that fails says why not.
#pragma once

#include <cstdint>
#include <string>

namespace vestrel {

enum class ProbeKind : uint32_t {
    Usable = 1,
    IoControlError = 2,  // the pass-through request itself failed
    ScsiError = 3,       // the drive answered with an error (or could not be opened)
    NotOptical = 4,      // it answered, but reports no features at all
};

struct DriveProbeResult {
    ProbeKind kind = ProbeKind::Usable;
    uint32_t osError = 0;  // IoControlError
    uint32_t command = 0;  // opcode of the failing command
    uint32_t status = 0;   // ScsiError, NotOptical
    uint8_t senseKey = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;

    bool usable() const { return kind == ProbeKind::Usable; }
    friend bool operator==(const DriveProbeResult&, const DriveProbeResult&) = default;
};

// TEST UNIT READY is sent again after a unit attention, at most this many
// times, each after a short pause; then the drive counts as unusable.
constexpr int kUnitAttentionRepeats = 3;
constexpr uint32_t kUnitAttentionPauseMs = 50;

DriveProbeResult ProbeDrive(char16_t letter);

// The text an unusable drive's row shows when its "Unusable" text is
// clicked; empty for a usable drive.
std::u16string ProbeDetails(const DriveProbeResult& probe);

}  // namespace vestrel
