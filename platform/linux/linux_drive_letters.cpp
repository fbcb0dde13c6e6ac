// Drive-letter services on Linux. Optical drives are the /dev/srN nodes
// under the letters of sg_transport.h; there are no fixed-drive letters, so
// image files always go below the user's data folder.
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "drive/drive_letters.h"
#include "drive/text.h"
#include "platform/linux/sg_transport.h"

namespace vestrel {

namespace {

bool NodeExists(char16_t letter) {
    std::string path = LinuxDevicePath(letter);
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

// udev writes unusual characters of a label as \xHH.
std::string DecodeUdevName(const std::string& name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            char* end = nullptr;
            std::string hex = name.substr(i + 2, 2);
            long v = std::strtol(hex.c_str(), &end, 16);
            if (end && *end == 0) {
                out.push_back(static_cast<char>(v));
                i += 3;
                continue;
            }
        }
        out.push_back(name[i]);
    }
    return out;
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

    bool VolumeLabel(char16_t letter, std::u16string& label) override {
        label.clear();
        std::string node = LinuxDevicePath(letter);
        if (node.empty())
            return false;
        const char* folder = "/dev/disk/by-label";
        DIR* dir = ::opendir(folder);
        if (!dir)
            return false;
        bool found = false;
        while (dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            char resolved[PATH_MAX];
            std::string link = std::string(folder) + "/" + name;
            if (::realpath(link.c_str(), resolved) && node == resolved) {
                label = FromUtf8(DecodeUdevName(name));
                found = true;
                break;
            }
        }
        ::closedir(dir);
        return found;
    }

    bool FreeSpace(std::u16string_view path, uint64_t& freeBytes) override {
        struct statvfs fs;
        if (::statvfs(ToUtf8(path).c_str(), &fs) != 0)
            return false;
        freeBytes = uint64_t{fs.f_bavail} * fs.f_frsize;
        return true;
    }

    std::u16string AppDataFolder() override {
        const char* data = std::getenv("XDG_DATA_HOME");
        if (data && data[0] == '/')
            return FromUtf8(data);
        const char* home = std::getenv("HOME");
        if (home && home[0] == '/')
            return FromUtf8(std::string(home) + "/.local/share");
        return {};
    }
};

}  // namespace

DriveLetterServices& PlatformDriveLetters() {
    static LinuxDriveLetters services;
    return services;
}

}  // namespace vestrel
