// Placing image files by free space, stale-file confirmation, folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "drive/drive_letters.h"
#include "drive/file_system.h"
#include "drive/text.h"
#include "engine/image_files.h"
#include "engine/image_store.h"

namespace vestrel {
namespace {

constexpr uint64_t kMiB = 1024 * 1024;
constexpr uint64_t kMargin = 52428800;

// Volumes with stated free space. Roots may stand for real folders.
class FakeVolumes : public DriveLetterServices {
  public:
    struct Volume {
        DriveKind kind = DriveKind::Fixed;
        uint64_t free = 0;
        std::u16string root;  // empty: "X:\"
    };
    FakeVolumes() { InstallDriveLetters(this); }
    ~FakeVolumes() override { InstallDriveLetters(nullptr); }

    uint32_t LogicalDrives() override {
        uint32_t bits = 0;
        for (auto& [letter, v] : volumes)
            bits |= 1u << (letter - u'A');
        return bits;
    }
    DriveKind DriveType(char16_t letter) override {
        auto it = volumes.find(letter);
        return it == volumes.end() ? DriveKind::NoRootDir : it->second.kind;
    }
    bool VolumeLabel(char16_t, std::u16string&) override { return false; }
    bool FreeSpace(std::u16string_view path, uint64_t& free) override {
        for (auto& [letter, v] : volumes) {
            if (path == RootFolder(letter) ||
                (!appData.empty() && path == appData && letter == homeLetter)) {
                free = v.free;
                queried.push_back(letter);
                return true;
            }
        }
        return false;
    }
    std::u16string AppDataFolder() override { return appData; }
    std::u16string RootFolder(char16_t letter) override {
        auto it = volumes.find(letter);
        if (it != volumes.end() && !it->second.root.empty())
            return it->second.root;
        return DriveLetterServices::RootFolder(letter);
    }

    std::map<char16_t, Volume> volumes;
    std::u16string appData = u"C:\\Users\\Ann\\AppData\\Roaming";
    char16_t homeLetter = u'C';
    std::vector<char16_t> queried;
};

SourceRecord Source(char16_t letter, std::vector<std::pair<bool, uint64_t>> tracks) {
    SourceRecord s;
    s.driveLetter = letter;
    for (auto [isData, bytes] : tracks) {
        TrackRecord t;
        t.isData = isData;
        t.imageBytes = bytes;
        s.tracks.push_back(t);
        s.totalBytes += bytes;
    }
    return s;
}

TEST(PlanImageFiles, AFileThatWouldLeaveExactlyTheMarginDoesNotFit) {
    FakeVolumes v;
    v.volumes[u'C'] = {DriveKind::Fixed, 100 * kMiB + kMargin, u""};
    std::vector<SourceRecord> sources = {Source(u'E', {{true, 100 * kMiB}})};
    EXPECT_FALSE(PlanImageFiles(sources));
    EXPECT_TRUE(sources[0].tracks[0].imagePath.empty());
    v.volumes[u'C'].free += 1;
    EXPECT_TRUE(PlanImageFiles(sources));
}

TEST(PlanImageFiles, LargeTrackGoesToAnotherDriveWhileSmallerOnesStayHome) {
    FakeVolumes v;
    v.volumes[u'C'] = {DriveKind::Fixed, 1024 * kMiB, u""};
    v.volumes[u'D'] = {DriveKind::Fixed, 10240 * kMiB, u""};
    v.volumes[u'E'] = {DriveKind::CdRom, 0, u""};
    std::vector<SourceRecord> sources = {Source(u'E', {{true, 4300 * kMiB}, {false, 300 * kMiB}})};
    EXPECT_TRUE(PlanImageFiles(sources));
    EXPECT_EQ(sources[0].tracks[0].imagePath, u"D:\\Temp\\E000.iso");
    std::u16string home = HomeImageFolder(v.appData);
    EXPECT_EQ(sources[0].tracks[1].imagePath, home + u"E001.wav");
}

TEST(PlanImageFiles, TheFallbackPassDoesNotCountWhatItPlaced) {
    FakeVolumes v;
    v.volumes[u'C'] = {DriveKind::Fixed, 10 * kMiB, u""};
    v.volumes[u'D'] = {DriveKind::Fixed, 5000 * kMiB, u""};
    std::vector<SourceRecord> sources = {Source(u'F', {{true, 4000 * kMiB}}),
                                         Source(u'G', {{true, 4000 * kMiB}})};
    EXPECT_TRUE(PlanImageFiles(sources));
    EXPECT_EQ(sources[0].tracks[0].imagePath, u"D:\\Temp\\F000.iso");
    EXPECT_EQ(sources[1].tracks[0].imagePath, u"D:\\Temp\\G000.iso");
}

TEST(PlanImageFiles, HomeSpaceIsUsedUpTrackByTrackAndNothingFitsNowhere) {
    FakeVolumes v;
    v.volumes[u'C'] = {DriveKind::Fixed, 700 * kMiB + kMargin + 1, u""};
    std::vector<SourceRecord> sources = {
        Source(u'E', {{true, 600 * kMiB}, {true, 200 * kMiB}, {true, 100 * kMiB}})};
    EXPECT_FALSE(PlanImageFiles(sources));
    EXPECT_FALSE(sources[0].tracks[0].imagePath.empty());
    EXPECT_TRUE(sources[0].tracks[1].imagePath.empty());   // did not fit after the first
    EXPECT_FALSE(sources[0].tracks[2].imagePath.empty());  // a later smaller one did

    std::vector<SourceRecord> none;
    EXPECT_TRUE(PlanImageFiles(none));
}

class ScriptedPrompt : public OverwritePrompt {
  public:
    bool AskOverwrite(const std::u16string& list) override {
        lists.push_back(list);
        return answer;
    }
    void ShowMessage(const std::u16string& text) override { messages.push_back(text); }
    bool answer = true;
    std::vector<std::u16string> lists;
    std::vector<std::u16string> messages;
};

class ImageFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() /
                ("vestrel-store-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
    }
    void TearDown() override {
        for (auto& e : std::filesystem::recursive_directory_iterator(root_)) {
            ActiveFileSystem().SetReadOnly(e.path().u16string(), false);
        }
        std::filesystem::remove_all(root_);
    }
    std::u16string Under(const std::u16string& rel) {
        std::u16string p = root_.u16string();
        p += kPathSeparator;
        return p + rel;
    }
    void Touch(const std::u16string& path) {
        uint32_t error = 0;
        ASSERT_TRUE(CreateImageFolders(path));
        ASSERT_TRUE(ActiveFileSystem().CreateNew(path, error));
    }
    std::filesystem::path root_;
};

std::u16string Sep(std::u16string s) {
    for (char16_t& c : s) {
        if (c == u'|')
            c = kPathSeparator;
    }
    return s;
}

TEST_F(ImageFolderTest, FoldersAreCreatedAlongThePathAndOnlyTheInnermostRemoved) {
    std::u16string path = Under(Sep(u"t4k|Temp|E000.iso"));
    Touch(path);
    EXPECT_TRUE(ActiveFileSystem().Exists(path));
    SourceRecord s = Source(u'E', {{true, 2048}});
    s.tracks[0].imagePath = path;
    DeleteImageFiles({s});
    EXPECT_FALSE(ActiveFileSystem().Exists(path));
    EXPECT_FALSE(ActiveFileSystem().Exists(Under(Sep(u"t4k|Temp"))));
    EXPECT_TRUE(ActiveFileSystem().IsFolder(Under(u"t4k")));
    RemoveImageFolder(u"C:\\E000.iso");  // a drive's root is never removed
}

TEST_F(ImageFolderTest, StaleFilesAreListedAndDeletedOnConsent) {
    SourceRecord s = Source(u'E', {{false, 2352}, {true, 2048}, {true, 2048}});
    s.tracks[0].imagePath = Under(Sep(u"T|E000.wav"));
    s.tracks[1].imagePath = Under(Sep(u"T|E001.iso"));
    s.tracks[2].imagePath = Under(Sep(u"T|E002.iso"));
    Touch(s.tracks[0].imagePath);
    Touch(s.tracks[2].imagePath);
    std::vector<SourceRecord> sources = {s};

    ScriptedPrompt prompt;
    prompt.answer = false;
    EXPECT_FALSE(ConfirmOverwrite(sources, prompt));
    ASSERT_EQ(prompt.lists.size(), 1u);
    EXPECT_EQ(prompt.lists[0], s.tracks[0].imagePath + u"\r\n\r\n" + s.tracks[2].imagePath);
    EXPECT_TRUE(ActiveFileSystem().Exists(s.tracks[0].imagePath));

    prompt.answer = true;
    EXPECT_TRUE(ConfirmOverwrite(sources, prompt));
    EXPECT_TRUE(ExistingImageFiles(sources).empty());
    EXPECT_TRUE(prompt.messages.empty());
    // Nothing left to confirm: no dialog.
    EXPECT_TRUE(ConfirmOverwrite(sources, prompt));
    EXPECT_EQ(prompt.lists.size(), 2u);
}

TEST_F(ImageFolderTest, AReadOnlyStaleFileKeepsThePersonOnThePage) {
    SourceRecord s = Source(u'E', {{true, 2048}});
    s.tracks[0].imagePath = Under(Sep(u"T|E000.iso"));
    Touch(s.tracks[0].imagePath);
    ASSERT_TRUE(ActiveFileSystem().SetReadOnly(s.tracks[0].imagePath, true));
    ScriptedPrompt prompt;
    EXPECT_FALSE(ConfirmOverwrite({s}, prompt));
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0], kCannotOverwriteMessage);
}

TEST_F(ImageFolderTest, FixedDrivesStandingForFoldersGetTheirTempFolder) {
    FakeVolumes v;
    v.appData.clear();  // no home folder at all
    std::u16string root = Under(u"");
    v.volumes[u'D'] = {DriveKind::Fixed, 1000 * kMiB, root};
    std::vector<SourceRecord> sources = {Source(u'E', {{true, 10 * kMiB}})};
    ASSERT_TRUE(PlanImageFiles(sources));
    EXPECT_EQ(sources[0].tracks[0].imagePath, root + Sep(u"Temp|E000.iso"));
    Touch(sources[0].tracks[0].imagePath);
}

TEST(OverwriteCountdown, AcceptsByItselfAfterTenSeconds) {
    OverwriteCountdown c(5000);
    EXPECT_EQ(c.Caption(), u"Overwrite -- 10");
    EXPECT_FALSE(c.Tick(5999));
    EXPECT_EQ(c.Caption(), u"Overwrite -- 10");
    uint32_t now = 5000;
    for (int n = 9; n >= 1; --n) {
        now += 1000;
        EXPECT_FALSE(c.Tick(now));
        EXPECT_EQ(c.Caption(), FormatText(u"Overwrite -- %d", {n}));
    }
    EXPECT_TRUE(c.Tick(now + 1000));
    EXPECT_TRUE(c.Done());
    EXPECT_EQ(c.Caption(), u"Overwrite -- 0");
    EXPECT_FALSE(c.Tick(now + 5000));  // clicked once only
}

}  // namespace
}  // namespace vestrel
