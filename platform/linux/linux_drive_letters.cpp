// Drive-letter services on Linux. Optical drives are the /dev/srN nodes
// under the letters of sg_transport.h; there are no fixed-drive letters, so
// image files always go below the user's data folder.
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cstdlib>
#include <string>

#include "drive/drive_letters.h"
#include "drive/text.h"
#include "drive/volume_label.h"
#include "platform/linux/sg_transport.h"

namespace vestrel {

namespace {

bool NodeExists(char16_t letter) {
    std::string path = LinuxDevicePath(letter);
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

// Creates a folder and the folders above it that are missing, private to
// the user as the XDG base directory rules ask; folders that exist keep
// their permissions.
void CreateFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        struct stat st;
        if (::stat(part.c_str(), &st) != 0)
            ::mkdir(part.c_str(), 0700);
        if (slash == std::string::npos)
            return;
    }
}

class LinuxDriveLetters : public DriveLetterServices {
  public:
    uint32_t LogicalDrives() override {
        uint32_t bits = 0;
        for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
            if (NodeExists(letter))
                bits |= 1u << (letter - u'A');
        }
        return bits;
    }

    DriveKind DriveType(char16_t letter) override {
        return NodeExists(letter) ? DriveKind::CdRom : DriveKind::NoRootDir;
    }

    // Read from the disc, as Windows names it; udev's labels follow other
    // rules (a Joliet name before the ISO 9660 one, none for UDF alone).
    bool VolumeLabel(char16_t letter, std::u16string& label) override {
        label.clear();
        if (LinuxDevicePath(letter).empty())
            return false;
        return ReadDiscVolumeLabel(letter, label);
    }

    bool FreeSpace(std::u16string_view path, uint64_t& freeBytes) override {
        struct statvfs fs;
        if (::statvfs(ToUtf8(path).c_str(), &fs) != 0)
            return false;
        freeBytes = uint64_t{fs.f_bavail} * fs.f_frsize;
        return true;
    }

    // $XDG_DATA_HOME, or ~/.local/share; created when it does not exist
    // yet, so that a new account's first run finds its free space.
    std::u16string AppDataFolder() override {
        std::string folder;
        const char* data = std::getenv("XDG_DATA_HOME");
        const char* home = std::getenv("HOME");
        if (data && data[0] == '/')
            folder = data;
        else if (home && home[0] == '/')
            folder = std::string(home) + "/.local/share";
        else
            return {};
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        CreateFolders(folder);
        return FromUtf8(folder);
    }
};

}  // namespace

DriveLetterServices& PlatformDriveLetters() {
    static LinuxDriveLetters services;
    return services;
}

}  // namespace vestrel
