#include "drive/inventory.h"

#include "drive/capabilities.h"
#include "drive/drive_letters.h"
#include "drive/drive_lock.h"
#include "drive/mmc_commands.h"
#include "drive/probe.h"
#include "drive/text.h"
#include "drive/transport.h"

namespace vestrel {

namespace {

constexpr int kLetterCount = 26;

}  // namespace

std::vector<char16_t> OpticalDriveLetters() {
    DriveLetterServices& services = ActiveDriveLetters();
    const uint32_t present = services.LogicalDrives();
    std::vector<char16_t> letters;
    for (int i = 0; i < kLetterCount; ++i) {
        const char16_t letter = static_cast<char16_t>(u'A' + i);
        if ((present >> i) & 1u && services.DriveType(letter) == DriveKind::CdRom)
            letters.push_back(letter);
    }
    return letters;
}

void EnumerateOpticalDrives(DriveListTarget& target) {
    for (char16_t letter : OpticalDriveLetters())
        target.Receive(DriveListMessage::AddDriveRow, letter);
}

void UnlockAllOpticalDrives() {
    for (char16_t letter : OpticalDriveLetters())
        AllowMediumRemoval(letter);
}

void EjectAllOpticalDrives() {
    for (char16_t letter : OpticalDriveLetters())
        EjectMedium(letter);
}

TrayDecision TrayOpenBlocks(char16_t letter) {
    if (!IsTrayOpen(SendTestUnitReady(letter)))
        return TrayDecision::DoesNotHoldUp;

    DriveLockGuard lock;
    if (!ProbeDrive(letter).usable())
        return TrayDecision::DoesNotHoldUp;
    const DriveCapabilities c = ReadDriveCapabilities(letter);
    const bool readsCdOnly = c.reads != 0 && c.reads < disc::DvdRom;
    if (readsCdOnly || c.writes != 0)
        return TrayDecision::HoldsUp;
    return TrayDecision::DoesNotHoldUp;
}

std::u16string ReadVolumeLabel(char16_t letter) {
    std::u16string label;
    bool found;
    {
        DriveLockGuard lock;
        found = ActiveDriveLetters().VolumeLabel(letter, label);
    }
    if (!found)
        return {};
    if (label.size() >= kVolumeLabelCapacity)
        label.resize(kVolumeLabelCapacity - 1);
    return TrimSpaces(label);
}

}  // namespace vestrel
