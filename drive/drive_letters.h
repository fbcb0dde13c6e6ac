// The drive-letter services the inventory and the image store need: which
// letters exist, what kind of drive each is, volume labels, free space and
// the application-data folder. Each platform provides them; the simulator
// installs its own for virtual drives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vestrel {

// The values of GetDriveTypeW.
enum class DriveKind : uint32_t {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

class DriveLetterServices {
  public:
    virtual ~DriveLetterServices() = default;
    // One bit per existing letter: bit 0 is 'A', bit 25 'Z'.
    virtual uint32_t LogicalDrives() = 0;
    virtual DriveKind DriveType(char16_t letter) = 0;
    // The volume label of the disc in the drive; false when there is none
    // to read (no disc, unreadable, no such drive).
    virtual bool VolumeLabel(char16_t letter, std::u16string& label) = 0;
    // Bytes free to the caller on the volume that holds `path`; false when
    // it cannot be found out.
    virtual bool FreeSpace(std::u16string_view path, uint64_t& freeBytes) = 0;
    // The user's application-data folder, without a trailing separator;
    // empty when there is none.
    virtual std::u16string AppDataFolder() = 0;
    // The root folder of a drive, ending in a separator: "X:\" on Windows.
    // A simulated fixed drive answers with the folder that stands for it.
    virtual std::u16string RootFolder(char16_t letter) {
        return std::u16string{letter, u':', u'\\'};
    }
};

DriveLetterServices& PlatformDriveLetters();

// Install before threads start; nullptr restores the platform's.
void InstallDriveLetters(DriveLetterServices* services);
DriveLetterServices& ActiveDriveLetters();

// A volume change as the operating system reports it.
enum class VolumeEventKind {
    DeviceArrival,  // a drive appeared
    DeviceRemoval,  // a drive went away
    MediaArrival,   // a disc was inserted
    MediaRemoval,   // a disc was removed
};

struct VolumeEvent {
    VolumeEventKind kind;
    char16_t letter;
};

}  // namespace vestrel
