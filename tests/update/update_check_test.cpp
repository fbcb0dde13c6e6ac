// The update check's passes against a fake platform: downloads counted,
// no working file left, the bounded conversion retries.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>

#include "drive/text.h"
#include "tests/support/forwarding_file_system.h"
#include "update/update_check.h"

namespace vestrel::update {
namespace {

namespace fs = std::filesystem;

constexpr char16_t kPage[] = u"http://127.0.0.1:8080/index.html?req=d0";
const std::string kFresh = "<a href=\"t4k.0022.sfx.exe\">Version 1.2 b\xE9ta (Self-x)</a>";
const std::string kCurrent = "<a href=\"t4k.0021.sfx.exe\">Version 1.1</a>";
const std::string kNoLink = "<html>maintenance</html>";

// The page file's reads refused a number of times, as when another program
// holds it.
class RefusingFiles : public testing::ForwardingFileSystem {
  public:
    std::unique_ptr<File> OpenRead(std::u16string_view p, uint32_t& e) override {
        if (refusals > 0 && p.ends_with(kPageFileName)) {
            --refusals;
            return nullptr;
        }
        return next_.OpenRead(p, e);
    }
    int refusals = 0;
};

// Files under a temporary folder; the check's backslashes are separators on
// Windows and part of the names elsewhere, which serves as well.
class FakePlatform : public CheckPlatform {
  public:
    explicit FakePlatform(fs::path appData) : appData_(std::move(appData)) {}

    bool FrameAlive() override { return frameLooks-- > 0; }
    std::u16string AppDataFolder() override {
        return noFolder ? u"" : FromUtf8((appData_ / "data").string());
    }
    void CreateFolder(std::u16string_view path) override { fs::create_directory(Native(path)); }
    void RemoveFile(std::u16string_view path) override { fs::remove(Native(path)); }
    bool Download(std::u16string_view address, std::u16string_view path) override {
        EXPECT_EQ(address, kPage);
        const size_t index = downloads++;
        if (index >= pages.size() || !pages[index])
            return false;
        std::ofstream(Native(path), std::ios::binary) << *pages[index];
        return true;
    }
    bool OpensAlone(std::u16string_view path) override {
        return pageOpens && fs::exists(Native(path));
    }
    std::unique_ptr<File> OpenPage(std::u16string_view path) override {
        uint32_t error = 0;
        return PlatformFileSystem().OpenRead(path, error);
    }
    void Sleep(unsigned milliseconds) override {
        EXPECT_EQ(milliseconds, kConversionPauseMs);
        ++sleeps;
    }
    uint16_t OwnBuild() override { return 21; }

    static fs::path Native(std::u16string_view path) { return ToUtf8(path); }

    std::vector<std::optional<std::string>> pages;  // nothing: the download fails
    int frameLooks = 100;
    bool noFolder = false;
    bool pageOpens = true;
    size_t downloads = 0;
    int sleeps = 0;

  private:
    fs::path appData_;
};

TEST(UpdateCheck, Passes) {
    struct Case {
        const char* name;
        std::vector<std::optional<std::string>> pages;
        CheckEnd end;
        size_t downloads;
        int refusals = 0;  // of the page file's reads
        int frameLooks = 100;
        bool pageOpens = true;
        bool noFolder = false;
        int sleeps = 0;
    };
    const std::vector<Case> cases = {
        {"update", {kFresh}, CheckEnd::UpdateFound, 1},
        {"up to date", {kCurrent}, CheckEnd::UpToDate, 1},
        {"two failed downloads", {std::nullopt, std::nullopt}, CheckEnd::PassesFailed, 2},
        {"second pass finds it", {std::nullopt, kFresh}, CheckEnd::UpdateFound, 2},
        {"no link twice", {kNoLink, kNoLink}, CheckEnd::PassesFailed, 2},
        {"frame gone", {kFresh}, CheckEnd::FrameGone, 0, 0, 0},
        {"frame gone after a failed pass", {std::nullopt, kFresh}, CheckEnd::FrameGone, 1, 0, 1},
        {"page file held", {kFresh, kFresh}, CheckEnd::PageMissing, 1, 0, 100, false},
        {"no application-data folder", {kFresh}, CheckEnd::NoFolder, 0, 0, 100, true, true},
        {"conversion fails a while", {kFresh}, CheckEnd::UpdateFound, 1, 3, 100, true, false, 3},
        {"conversion keeps failing",
         {kFresh, kFresh},
         CheckEnd::PassesFailed,
         2,
         2 * kConversionAttempts,
         100,
         true,
         false,
         2 * (kConversionAttempts - 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path appData = fs::temp_directory_path() /
                                 ("vestrel-update-" + std::to_string(std::random_device{}()));
        fs::create_directories(appData / "data");
        RefusingFiles files;
        files.refusals = c.refusals;
        FakePlatform platform(appData);
        platform.pages = c.pages;
        platform.frameLooks = c.frameLooks;
        platform.pageOpens = c.pageOpens;
        platform.noFolder = c.noFolder;

        const CheckResult result = RunUpdateCheck(platform, kPage);
        EXPECT_EQ(result.end, c.end);
        EXPECT_EQ(platform.downloads, c.downloads);
        EXPECT_EQ(platform.sleeps, c.sleeps);
        const WorkingFiles working = WorkingFilesIn(FromUtf8((appData / "data").string()));
        // Gone after every pass, whatever it found.
        for (const std::u16string* path : {&working.page, &working.widePage, &working.asciiPage})
            EXPECT_FALSE(fs::exists(FakePlatform::Native(*path))) << ToUtf8(*path);
        if (c.end == CheckEnd::UpdateFound) {
            EXPECT_EQ(result.offer.downloadAddress, u"http://127.0.0.1:8080/t4k.0022.sfx.exe");
            EXPECT_EQ(result.offer.versionText, u"1.2 b?ta");
        }
        fs::remove_all(appData);
    }
}

TEST(UpdateCheck, WorkingFilesHaveTheirNames) {
    const WorkingFiles files = WorkingFilesIn(u"C:\\Users\\Ann\\AppData\\Roaming");
    const std::u16string folder =
        u"C:\\Users\\Ann\\AppData\\Roaming\\t4k_{82DE65E8-B047-4647-8A07-1742A98109F1}";
    EXPECT_EQ(files.folder, folder);
    EXPECT_EQ(files.page, folder + u"\\_checkupdate.orignal.expected-ISO-8851.txt");
    EXPECT_EQ(files.widePage, folder + u"\\_checkupdate.chilkatconv.utf-16.txt");
    EXPECT_EQ(files.asciiPage, folder + u"\\_checkupdate.chilkatconv.us-ascii.txt");
}

}  // namespace
}  // namespace vestrel::update
