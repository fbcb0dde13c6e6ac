// The one way the system talks to a drive: a command descriptor block and a
// data buffer go to the drive named by its letter, and a ScsiResult comes
// back. Each operating system provides one Transport; the simulator and the
// tests install their own.
#pragma once

#include <cstdint>

#include "drive/scsi_result.h"

namespace vestrel {

enum class DataDirection : uint8_t {
    ToDevice = 0,    // "out"
    FromDevice = 1,  // "in"
};

// One request as handed to a transport. The buffer belongs to the caller and
// is used in place; a transport never touches more than transferLength bytes.
struct ScsiCommand {
    char16_t letter = 0;
    const uint8_t* cdb = nullptr;
    uint8_t cdbLength = 0;  // 6, 10 or 12
    DataDirection direction = DataDirection::FromDevice;
    uint8_t* data = nullptr;
    uint32_t transferLength = 0;
    uint32_t timeoutSeconds = 0;
};

class Transport {
  public:
    virtual ~Transport() = default;

    // Sends the command to the drive and waits for it. Whether the drive is
    // opened for each command or kept open is the back end's choice.
    // Status 24 when the drive cannot be opened, 255 when the request
    // failed; otherwise the device's status and sense.
    virtual ScsiResult Execute(const ScsiCommand& command) = 0;

    // Lets the tray open again (clears a prevent-removal). False when the
    // drive cannot be opened or refuses.
    virtual bool AllowMediumRemoval(char16_t letter) = 0;

    // Ejects the medium (opens the tray). Failures are not reported.
    virtual void EjectMedium(char16_t letter) = 0;
};

// The transport of the operating system this program was built for.
Transport& PlatformTransport();

// Routes every later command to `transport` (nullptr: back to the
// platform's). Install before any thread sends commands.
void InstallTransport(Transport* transport);
Transport& ActiveTransport();

// Sends one command through the active transport. dataDirection is 0 (to
// the device) or 1 (from the device).
ScsiResult SendScsiCommand(char16_t driveLetter, const uint8_t* cdb, uint8_t cdbLength,
                           uint8_t dataDirection, void* dataBuffer, uint32_t transferLength,
                           uint32_t timeoutSeconds);

bool AllowMediumRemoval(char16_t driveLetter);
void EjectMedium(char16_t driveLetter);

}  // namespace vestrel
