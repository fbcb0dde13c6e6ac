// Linux drive-letter services on this machine.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "drive/drive_letters.h"
#include "drive/text.h"
#include "drive/transport.h"
#include "platform/linux/sg_transport.h"
#include "simulator/simulator.h"
#include "tests/simulator/sim_fixture.h"

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

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        old_ = old ? old : "";
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (had_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

TEST(LinuxDriveLetters, TheDataFolderIsCreatedPrivateWhenMissingAndHasFreeSpace) {
    DriveLetterServices& s = PlatformDriveLetters();
    uint64_t free = 0;
    EXPECT_FALSE(s.FreeSpace(u"/no/such/folder/anywhere", free));

    sim::testing::TempFolder temp;
    const std::string base = temp.path().string();
    ::chmod(base.c_str(), 0755);
    {
        // A new account: nothing below $XDG_DATA_HOME exists yet.
        ScopedEnv data("XDG_DATA_HOME", base + "/new/data/");
        EXPECT_EQ(s.AppDataFolder(), FromUtf8(base + "/new/data"));
        struct stat st;
        ASSERT_EQ(::stat((base + "/new/data").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        ASSERT_TRUE(s.FreeSpace(s.AppDataFolder(), free));
        EXPECT_GT(free, 0u);
        // A folder that exists keeps its permissions.
        ASSERT_EQ(::stat(base.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0755u);
    }
    {
        // A relative $XDG_DATA_HOME is ignored for $HOME/.local/share.
        ScopedEnv data("XDG_DATA_HOME", "relative/ignored");
        ScopedEnv home("HOME", base + "/home");
        EXPECT_EQ(s.AppDataFolder(), FromUtf8(base + "/home/.local/share"));
        EXPECT_TRUE(std::filesystem::is_directory(base + "/home/.local/share"));
    }
}

// Labels through the Linux services, answered by simulated drives holding
// images made by genisoimage: ISO 9660 with UDF, the same with its ISO 9660
// descriptors wiped (UDF alone), and an audio CD.
TEST(LinuxDriveLetters, VolumeLabelsAreReadFromTheDiscsThemselves) {
    sim::testing::TempFolder temp;
    const std::filesystem::path content = temp / "content";
    std::filesystem::create_directories(content);
    sim::testing::WriteFile(content / "readme.txt", sim::testing::PatternBytes(5000, 7));
    const std::string make = "genisoimage -quiet -udf -V 'Vestrel Sample' -o '" +
                             (temp / "bridge.iso").string() + "' '" + content.string() +
                             "' 2>/dev/null";
    if (std::system(make.c_str()) != 0)
        GTEST_SKIP() << "genisoimage is needed";
    std::vector<uint8_t> image = sim::testing::ReadFile(temp / "bridge.iso");
    for (size_t sector = 16; (sector + 1) * 2048 <= image.size() && sector < 32; ++sector) {
        uint8_t* d = image.data() + sector * 2048;
        if (std::memcmp(d + 1, "CD001", 5) == 0)
            std::fill_n(d, 2048, 0);
    }
    const sim::testing::BaySpec spec =
        sim::testing::BaySpec()
            .IsoFile("bridge", "DVD-ROM", "bridge.iso")
            .Iso("udf", "DVD-ROM", image)
            .Cue("audio", {{false, std::vector<uint8_t>(300 * 2352)}})
            .InReaders()
            .Drive('G', "dvd-rom-reader");
    spec.WriteImages(temp.path());
    sim::Simulator bay;
    std::string error;
    ASSERT_TRUE(bay.LoadText(spec.Text(), temp.path(), error)) << error;
    InstallTransport(&bay);
    DriveLetterServices& s = PlatformDriveLetters();
    std::u16string label;
    EXPECT_TRUE(s.VolumeLabel(u'D', label));
    EXPECT_EQ(label, u"Vestrel Sample");
    EXPECT_TRUE(s.VolumeLabel(u'E', label));
    EXPECT_EQ(label, u"Vestrel Sample");
    EXPECT_TRUE(s.VolumeLabel(u'F', label));
    EXPECT_EQ(label, u"Audio CD");
    EXPECT_FALSE(s.VolumeLabel(u'G', label));
    EXPECT_EQ(label, u"");
    InstallTransport(nullptr);
}

}  // namespace
}  // namespace vestrel
