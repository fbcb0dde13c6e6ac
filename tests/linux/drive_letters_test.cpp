// Linux drive-letter services on this machine.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

#include "drive/drive_letters.h"
#include "drive/text.h"
#include "platform/linux/sg_transport.h"

namespace vestrel {
namespace {

TEST(LinuxDriveLetters, LettersExistExactlyForOpticalNodes) {
    DriveLetterServices& s = PlatformDriveLetters();
    uint32_t bits = s.LogicalDrives();
    for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
        std::string node = LinuxDevicePath(letter);
        struct stat st;
        bool exists = !node.empty() && ::stat(node.c_str(), &st) == 0;
        EXPECT_EQ(((bits >> (letter - u'A')) & 1u) != 0, exists) << char(letter);
        EXPECT_EQ(s.DriveType(letter), exists ? DriveKind::CdRom : DriveKind::NoRootDir);
    }
    std::u16string label = u"stale";
    EXPECT_FALSE(s.VolumeLabel(u'B', label));
    EXPECT_TRUE(label.empty());
}

TEST(LinuxDriveLetters, FreeSpaceAndDataFolder) {
    DriveLetterServices& s = PlatformDriveLetters();
    uint64_t free = 0;
    ASSERT_TRUE(s.FreeSpace(u"/tmp", free));
    EXPECT_GT(free, 0u);
    EXPECT_FALSE(s.FreeSpace(u"/no/such/folder/anywhere", free));

    const char* old = std::getenv("XDG_DATA_HOME");
    std::string saved = old ? old : "";
    const char* oldHome = std::getenv("HOME");
    std::string savedHome = oldHome ? oldHome : "";
    ::setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(s.AppDataFolder(), u"/srv/data");
    ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(s.AppDataFolder(), u"/home/someone/.local/share");
    if (oldHome) ::setenv("HOME", savedHome.c_str(), 1);
    if (old) {
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
}

}  // namespace
}  // namespace vestrel
