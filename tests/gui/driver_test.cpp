// The driver and the harness, proved against the driver's own test dialog.
#include <gtest/gtest.h>

#include "tests/gui/gui_test_support.h"
#include "tests/gui/test_dialog.h"

namespace vestrel::gui {
namespace {

class DriverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(program.Started())
            << std::string(program.Error().begin(), program.Error().end());
        dialog = WaitForTopWindow(program.Id(), L"#32770", L"Driver test dialog", 10000);
        ASSERT_NE(dialog, nullptr);
    }
    HWND Control(int id) { return FindControl(dialog, id); }
    std::wstring Answer() { return Text(Control(TestAnswerText)); }

    Program program{BuildProgram(L"gui_test_dialog.exe")};
    HWND dialog = nullptr;
};

TEST(Harness, ScreenHasTheRequestedDpiAndTahoma) {
    if (RequestedDpi() == 0)
        GTEST_SKIP() << "not run by the GUI harness";
    EXPECT_EQ(ScreenDpi(), RequestedDpi());
    EXPECT_EQ(ResolvedFace(L"Tahoma"), L"Tahoma");
}

TEST_F(DriverTest, ReadsClicksAndAnswersAMessageBox) {
    EXPECT_EQ(Text(Control(TestDpiText)), L"dpi " + std::to_wstring(ScreenDpi()));
    EXPECT_FALSE(Click(Control(TestDisabledButton)));
    EXPECT_FALSE(Click(FindControl(dialog, 9999)));

    ASSERT_TRUE(Click(Control(TestMessageButton)));
    HWND box = WaitForDialog(program.Id(), L"Driver question", dialog, 5000);
    ASSERT_NE(box, nullptr);
    // The owner cannot be clicked while the box is up.
    EXPECT_FALSE(Click(Control(TestMessageButton)));
    MessageBoxView view = ReadMessageBox(box);
    EXPECT_EQ(view.text, L"First line\r\nSecond line");
    EXPECT_EQ(view.buttons, (std::vector<int>{IDOK, IDCANCEL}));
    EXPECT_EQ(MessageBoxIcon(box), 32516);  // IDI_INFORMATION
    EXPECT_TRUE(SaveScreenshot(box, L"driver-question"));
    ASSERT_TRUE(AnswerMessageBox(box, IDCANCEL));
    EXPECT_TRUE(WaitFor([&] { return Answer() == L"answer 2"; }, 3000)) << Answer().size();
}

TEST_F(DriverTest, ClicksWithTheMouseAndTypesKeys) {
    ASSERT_TRUE(MouseClick(Control(TestProbe)));
    EXPECT_TRUE(WaitFor([&] { return Answer() == L"clicked"; }, 3000));

    HWND edit = Control(TestEdit);
    ASSERT_TRUE(MouseClick(edit));
    ASSERT_TRUE(WaitFor([&] { return FocusOf(dialog) == edit; }, 3000));
    PressKey('V');
    PressKey('S');
    EXPECT_TRUE(WaitFor([&] { return Text(edit) == L"vs"; }, 3000));

    PressKey(VK_ESCAPE);
    DWORD exitCode = 0;
    ASSERT_TRUE(program.WaitForExit(5000, &exitCode));
    EXPECT_EQ(exitCode, static_cast<DWORD>(IDCANCEL));
}

TEST_F(DriverTest, ScreenshotsShowWhatIsOnTheScreen) {
    Picture whole = CaptureSettled(dialog);
    RECT frame = ScreenRect(dialog), red = ScreenRect(Control(TestProbe));
    ASSERT_EQ(whole.width, frame.right - frame.left);
    ASSERT_GT(red.right - red.left, 10);
    auto at = [&](LONG x, LONG y) { return whole.At(x - frame.left, y - frame.top); };
    for (LONG y = red.top; y < red.bottom; ++y) {
        for (LONG x = red.left; x < red.right; ++x)
            ASSERT_EQ(at(x, y), RGB(255, 0, 0)) << x << "," << y;
    }
    EXPECT_NE(at(red.left - 3, red.top), RGB(255, 0, 0));
    EXPECT_NE(at(red.right + 2, red.bottom + 2), RGB(255, 0, 0));
    EXPECT_TRUE(SaveScreenshot(dialog, L"driver-dialog"));
}

TEST_F(DriverTest, ObjectCountsSeeAFontAndADcLeaked) {
    ObjectCounts before{};
    ASSERT_TRUE(ReadObjectCounts(program.Id(), before));
    ASSERT_GT(before.calls, 0);  // the dialog's start-up already made and released a DC
    ASSERT_TRUE(Click(Control(TestLeakButton)));
    ObjectCounts after{};
    ASSERT_TRUE(WaitFor(
        [&] {
            return ReadObjectCounts(program.Id(), after) &&
                   after.live[CountedFonts] > before.live[CountedFonts];
        },
        3000));
    EXPECT_EQ(after.live[CountedFonts], before.live[CountedFonts] + 1);
    EXPECT_EQ(after.live[CountedWindowDCs], before.live[CountedWindowDCs] + 1);
    EXPECT_EQ(after.live[CountedDeviceContexts], before.live[CountedDeviceContexts]);
    EXPECT_EQ(after.live[CountedBitmaps], before.live[CountedBitmaps]);
}

}  // namespace
}  // namespace vestrel::gui
