// The update check in the virtual wizard, against fixture pages on a web
// server of the test's own on 127.0.0.1: the prompt on the Welcome page,
// Cancel and consent, and the cases that stay silent.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "tests/gui/page_server.h"
#include "tests/gui/wizard_session.h"

namespace vestrel::gui {
namespace {

using Environment = std::vector<std::pair<std::wstring, std::wstring>>;

const std::string kPackagePage =
    "<html><body><p><a href=\"t4k.0022.sfx.exe\">Version 1.2 beta (Self-extracting "
    "archive)</a></p></body></html>";
constexpr wchar_t kPromptTitle[] = L"t4k Vestrel\x2122 1.2 beta Available";
constexpr wchar_t kPromptText[] =
    L"A new version of t4k Vestrel\x2122 is available for download from t4ksoft.net\n\n"
    L"It is recommended that you upgrade to the new version before proceeding.\n\n"
    L"Do you want to upgrade your copy now?";
// Long enough for a check that has its page to post and the frame to
// answer, were it to do so.
constexpr DWORD kSilenceMs = 2000;

std::wstring WorkingFolder() {
    wchar_t appData[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData);
    return std::wstring(appData) + L"\\t4k_{82DE65E8-B047-4647-8A07-1742A98109F1}";
}

constexpr const wchar_t* kWorkingFiles[] = {L"_checkupdate.orignal.expected-ISO-8851.txt",
                                            L"_checkupdate.chilkatconv.utf-16.txt",
                                            L"_checkupdate.chilkatconv.us-ascii.txt"};

bool AnyWorkingFile() {
    for (const wchar_t* name : kWorkingFiles) {
        if (GetFileAttributesW((WorkingFolder() + L"\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
    }
    return false;
}

std::wstring OpenLog() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"vestrel-update-opened.txt";
}

std::string ReadOpenLog() {
    std::ifstream in(std::filesystem::path(OpenLog()), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The build number of the virtual wizard: the fourth field of its version.
int OwnBuild() {
    const std::wstring path = BuildProgram(kVirtualWizard);
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    void* data = nullptr;
    UINT length = 0;
    if (block.empty() || !GetFileVersionInfoW(path.c_str(), 0, block.size(), block.data()) ||
        !VerQueryValueW(block.data(), L"\\", &data, &length))
        return -1;
    return LOWORD(static_cast<VS_FIXEDFILEINFO*>(data)->dwFileVersionLS);
}

// Message boxes of the wizard: any top-level dialog of its process.
bool AnyPrompt(Wizard& wizard) {
    return !TopWindows(wizard.Process().Id(), L"#32770").empty();
}

class UpdateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Started());
        for (const wchar_t* name : kWorkingFiles)
            DeleteFileW((WorkingFolder() + L"\\" + name).c_str());
        DeleteFileW(OpenLog().c_str());
    }

    Environment Pointed(const std::string& path, DWORD lingerMs = 0) const {
        Environment environment{{L"VESTREL_UPDATE_PAGE", server_.Address(path) + L"?req=d0"},
                                {L"VESTREL_OPEN_LOG", OpenLog()}};
        if (lingerMs)
            environment.emplace_back(L"VESTREL_LINGER_MS", std::to_wstring(lingerMs));
        return environment;
    }

    // Waits for the prompt of the wizard's frame and checks its words.
    HWND WaitForPrompt(Wizard& wizard) {
        HWND box = WaitForDialog(wizard.Process().Id(), kPromptTitle, wizard.Frame(), 15000);
        if (!box)
            return nullptr;
        const MessageBoxView view = ReadMessageBox(box);
        EXPECT_EQ(view.text, kPromptText);
        EXPECT_EQ(view.buttons, (std::vector<int>{IDOK, IDCANCEL}));
        EXPECT_EQ(MessageBoxIcon(box), 32514);  // IDI_QUESTION
        return box;
    }

    // The wizard started on a page that offers another build; its prompt.
    HWND StartWithOffer() {
        server_.Serve("/offer/index.html", kPackagePage);
        wizard_.emplace(nullptr, kVirtualWizard, Pointed("/offer/index.html"));
        return wizard_->WaitForFrame() ? WaitForPrompt(*wizard_) : nullptr;
    }

    PageServer server_;
    std::optional<Wizard> wizard_;
};

TEST_F(UpdateTest, PromptOnWelcomeStaysOnCancelWithNothingOpened) {
    HWND box = StartWithOffer();
    ASSERT_TRUE(box) << "no prompt";
    Wizard& wizard = *wizard_;
    EXPECT_TRUE(SaveScreenshot(wizard.Frame(), L"update-prompt"));
    ASSERT_TRUE(AnswerMessageBox(box, IDCANCEL));
    Sleep(kSilenceMs);
    EXPECT_TRUE(IsWindow(wizard.Frame()));
    EXPECT_TRUE(wizard.WaitForStep(0, 1000));
    EXPECT_FALSE(AnyPrompt(wizard));
    EXPECT_EQ(ReadOpenLog(), "");
    EXPECT_EQ(server_.Requests("/offer/index.html"), 1);
    EXPECT_TRUE(wizard.Exit());
}

TEST_F(UpdateTest, ConsentOpensThePackageAndEndsTheWizard) {
    HWND box = StartWithOffer();
    ASSERT_TRUE(box) << "no prompt";
    Wizard& wizard = *wizard_;
    const DWORD answered = GetTickCount();
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ASSERT_TRUE(wizard.Process().WaitForExit(15000));
    EXPECT_GE(GetTickCount() - answered, 1900u);  // the pause before closing
    const std::wstring address = server_.Address("/offer/t4k.0022.sfx.exe");
    EXPECT_EQ(ReadOpenLog(), std::string(address.begin(), address.end()) + "\n");
}

TEST_F(UpdateTest, NoPromptOnceThePersonHasMovedOn) {
    server_.Serve("/offer/index.html", kPackagePage);
    server_.Hold("/offer/index.html");
    Wizard wizard(nullptr, kVirtualWizard, Pointed("/offer/index.html"));
    ASSERT_TRUE(wizard.WaitForFrame());
    ASSERT_TRUE(WaitFor([&] { return server_.Requests("/offer/index.html") == 1; }, 15000));
    ASSERT_TRUE(wizard.Advance(1));
    server_.Release();
    ASSERT_TRUE(WaitFor([&] { return server_.Answered("/offer/index.html") == 1; }, 10000));
    Sleep(kSilenceMs);
    EXPECT_FALSE(AnyPrompt(wizard));
    EXPECT_TRUE(wizard.Exit());
}

TEST_F(UpdateTest, SilentForAnUpToDatePage) {
    const int build = OwnBuild();
    ASSERT_GE(build, 0);
    char number[8];
    std::snprintf(number, sizeof number, "%04d", build);
    server_.Serve("/current/index.html",
                  std::string("<a href=\"t4k.") + number + ".sfx.exe\">Version 0.75 (Self-x)</a>");
    Wizard wizard(nullptr, kVirtualWizard, Pointed("/current/index.html"));
    ASSERT_TRUE(wizard.WaitForFrame());
    ASSERT_TRUE(WaitFor([&] { return server_.Requests("/current/index.html") == 1; }, 15000));
    Sleep(kSilenceMs);
    EXPECT_FALSE(AnyPrompt(wizard));
    EXPECT_EQ(server_.Requests("/current/index.html"), 1);
    EXPECT_FALSE(AnyWorkingFile());
    EXPECT_TRUE(wizard.Exit());
}

// A page past the size any real page has is given up, in both passes,
// although it begins with an offer; nothing of it is left.
TEST_F(UpdateTest, APageTooLargeIsGivenUp) {
    server_.Serve("/large/index.html", kPackagePage + std::string(3u << 20, ' '));
    Wizard wizard(nullptr, kVirtualWizard, Pointed("/large/index.html"));
    ASSERT_TRUE(wizard.WaitForFrame());
    ASSERT_TRUE(WaitFor([&] { return server_.Requests("/large/index.html") == 2; }, 30000));
    Sleep(kSilenceMs);
    EXPECT_FALSE(AnyPrompt(wizard));
    EXPECT_FALSE(AnyWorkingFile());
    EXPECT_TRUE(wizard.Exit());
}

TEST_F(UpdateTest, TwoDownloadsWhenThePageIsMissingThenSilence) {
    Wizard wizard(nullptr, kVirtualWizard, Pointed("/missing/index.html"));
    ASSERT_TRUE(wizard.WaitForFrame());
    ASSERT_TRUE(WaitFor([&] { return server_.Requests("/missing/index.html") == 2; }, 15000));
    Sleep(kSilenceMs);
    EXPECT_EQ(server_.Requests("/missing/index.html"), 2);
    EXPECT_FALSE(AnyPrompt(wizard));
    EXPECT_FALSE(AnyWorkingFile());
    EXPECT_TRUE(wizard.Exit());
}

// A second start ends at once: its frame goes before the check could
// begin, and it asks nothing although it stays a while.
TEST_F(UpdateTest, NoRequestOnceTheFrameIsGone) {
    Wizard first(nullptr, kVirtualWizard, Pointed("/first/index.html"));
    ASSERT_TRUE(first.WaitForFrame());
    Program second(BuildProgram(kVirtualWizard), Pointed("/second/index.html", 3000));
    ASSERT_TRUE(second.Started());
    ASSERT_TRUE(second.WaitForExit(15000));
    EXPECT_EQ(server_.Requests("/second/index.html"), 0);
    EXPECT_TRUE(first.Exit());
}

// The frame goes while the first download is under way: no second pass.
TEST_F(UpdateTest, NoFurtherPassOnceTheFrameIsGone) {
    server_.Hold("/missing/index.html");
    Wizard wizard(nullptr, kVirtualWizard, Pointed("/missing/index.html", 3000));
    ASSERT_TRUE(wizard.WaitForFrame());
    ASSERT_TRUE(WaitFor([&] { return server_.Requests("/missing/index.html") == 1; }, 15000));
    ASSERT_TRUE(Click(wizard.Control(kExit)));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(wizard.Frame()); }, 5000));
    server_.Release();
    ASSERT_TRUE(wizard.Process().WaitForExit(15000));
    EXPECT_EQ(server_.Requests("/missing/index.html"), 1);
}

}  // namespace
}  // namespace vestrel::gui
