// The optical drives the system reports, and the drive-wide operations the
// wizard needs: listing them into the drive list, unlocking and ejecting
// every tray, deciding whether an open tray holds up the Remove discs page,
// and reading a volume label. Everything goes through the active drive-letter
// services and transport, so real drives and virtual ones are handled alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vestrel {

// The messages of the drive list. The values are the Windows messages the
// drive list panel receives (WM_USER + 1..3), wParam being the letter.
enum class DriveListMessage : uint32_t {
    AddDriveRow = 0x0401,
    RemoveDriveRow = 0x0402,
    RefreshDriveRow = 0x0403,
};

// What receives drive list messages: the wizard's drive list panel (which
// sends itself the message synchronously), the windowless drive list, or a
// test. Called on the user-interface thread.
class DriveListTarget {
  public:
    virtual ~DriveListTarget() = default;
    virtual void Receive(DriveListMessage message, char16_t letter) = 0;
};

// Letters 'A'..'Z', in order, that exist and are optical drives.
std::vector<char16_t> OpticalDriveLetters();

// One AddDriveRow per optical drive, in letter order.
void EnumerateOpticalDrives(DriveListTarget& target);

// Allows medium removal on every optical drive; runs at process exit.
void UnlockAllOpticalDrives();
void EjectAllOpticalDrives();

// Whether a drive's open tray holds up the Remove discs page; as a number,
// 0 holds it up and 1 does not.
enum class TrayDecision : int {
    HoldsUp = 0,
    DoesNotHoldUp = 1,
};

// Only an open tray can hold up the page, and only on a usable drive that
// reads CD types only or writes something: a drive that reads DVD or better
// and writes nothing is left open. Probe and capability query run under the
// drive lock, as copies may be written meanwhile.
TrayDecision TrayOpenBlocks(char16_t letter);

// The volume label of the disc in the drive, trimmed of spaces at both
// ends; empty when there is none. Read under the drive lock.
constexpr size_t kVolumeLabelCapacity = 261;  // characters, the terminator included
std::u16string ReadVolumeLabel(char16_t letter);

}  // namespace vestrel
