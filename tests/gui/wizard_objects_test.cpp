// The wizard's GDI and USER objects stay level over many copy cycles. The
// virtual program counts the objects its calls create and delete (Wine's
// GetGuiResources answers 0); windows are counted from outside.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "tests/gui/wizard_session.h"

namespace vestrel::gui {
namespace {

struct Level {
    ObjectCounts objects{};
    int windows = 0;
};

// Read once nothing changes any more, so that a paint under way is not
// counted.
bool ReadLevel(Wizard& wizard, Level& level) {
    CaptureSettled(wizard.Frame());
    return WaitFor(
        [&] {
            Level a, b;
            if (!ReadObjectCounts(wizard.Process().Id(), a.objects))
                return false;
            a.windows = CountWindows(wizard.Process().Id());
            Sleep(200);
            if (!ReadObjectCounts(wizard.Process().Id(), b.objects))
                return false;
            b.windows = CountWindows(wizard.Process().Id());
            level = b;
            return a.windows == b.windows &&
                   std::equal(std::begin(a.objects.live), std::end(a.objects.live),
                              std::begin(b.objects.live));
        },
        5000);
}

// From the select page through every page and back to it: Next, Back
// confirmed, Next to Finish, and "here"; the About box once.
bool OneCycle(Wizard& wizard) {
    if (!wizard.Advance(3) || !Click(wizard.Control(kBack)))
        return false;
    HWND box = WaitForDialog(wizard.Process().Id(), kProductName, nullptr, 5000);
    if (!box || !AnswerMessageBox(box, IDYES) || !wizard.WaitForStep(2))
        return false;
    if (!wizard.Advance(3) || !wizard.Advance(4) || !wizard.Advance(5))
        return false;
    if (!Click(wizard.Control(kAbout)))
        return false;
    HWND about =
        WaitForDialog(wizard.Process().Id(), L"About t4k Vestrel\x2122", wizard.Frame(), 5000);
    if (!about)
        return false;
    PressKey(VK_ESCAPE);
    if (!WaitFor([&] { return !IsWindow(about); }, 3000))
        return false;
    HWND here = FindControl(wizard.Page(), 3803, L"l0");
    return here && MouseClick(here) && wizard.WaitForStep(1) && wizard.WaitForStep(2);
}

TEST(WizardObjects, DoNotGrowOverEightCycles) {
    // The cycles wait on Remove discs each time: one screen setting suffices.
    if (RequestedDpi() != 0 && RequestedDpi() != 144)
        GTEST_SKIP() << "run at 144 dpi";
    Wizard wizard(bays::Quick());
    ASSERT_TRUE(wizard.WaitForFrame());
    ASSERT_TRUE(wizard.WalkTo(2));
    // The first cycle fills the caches that live as long as the program.
    ASSERT_TRUE(OneCycle(wizard));
    Level before;
    ASSERT_TRUE(ReadLevel(wizard, before));
    ASSERT_GT(before.objects.calls, 0);
    // Eight: a leak of one object per cycle shows as plainly as over more,
    // and the whole runs below go through the same pages again.
    for (int cycle = 0; cycle < 8; ++cycle)
        ASSERT_TRUE(OneCycle(wizard)) << "cycle " << cycle;
    Level after;
    ASSERT_TRUE(ReadLevel(wizard, after));
    EXPECT_GT(after.objects.calls, before.objects.calls);
    for (int kind = 0; kind < CountedKindCount; ++kind) {
        EXPECT_EQ(after.objects.live[kind], before.objects.live[kind]) << CountedKindName(kind);
    }
    EXPECT_EQ(after.windows, before.windows);
    EXPECT_TRUE(wizard.Exit());
}

// A whole copy run from the select page, with Next as each page allows it,
// to Finish, and back to the select page by "here".
bool OneRun(Wizard& wizard) {
    for (int step = 3; step <= 5; ++step) {
        if (!WaitFor([&] { return IsWindowEnabled(wizard.Control(kNext)); }, 60000) ||
            !Click(wizard.Control(kNext)) || !wizard.WaitForStep(step))
            return false;
    }
    if (Text(GetDlgItem(wizard.Page(), 3801)) !=
        L"Congratulations! All your discs were copied successfully.")
        return false;
    HWND here = FindControl(wizard.Page(), 3803, L"l0");
    return here && MouseClick(here) && wizard.WaitForStep(1) && wizard.WaitForStep(2, 20000);
}

TEST(WizardObjects, DoNotGrowOverFiveWholeRuns) {
    if (RequestedDpi() != 0 && RequestedDpi() != 144)
        GTEST_SKIP() << "run at 144 dpi";
    Wizard wizard(bays::CdAndRecorder().Blanks('F', "CD-R").TakeFinished());
    ASSERT_TRUE(wizard.WaitForFrame());
    ASSERT_TRUE(wizard.WalkTo(2));
    ASSERT_TRUE(OneRun(wizard));
    Level before;
    ASSERT_TRUE(ReadLevel(wizard, before));
    for (int run = 0; run < 5; ++run)
        ASSERT_TRUE(OneRun(wizard)) << "run " << run;
    Level after;
    ASSERT_TRUE(ReadLevel(wizard, after));
    for (int kind = 0; kind < CountedKindCount; ++kind) {
        EXPECT_EQ(after.objects.live[kind], before.objects.live[kind]) << CountedKindName(kind);
    }
    EXPECT_EQ(after.windows, before.windows);
    EXPECT_TRUE(wizard.Exit());
}

// The recorder unplugged and plugged in again while the select page shows:
// its row goes and comes with its copies control and strip.
TEST(WizardObjects, DoNotGrowOverTwentyRowsAddedAndRemoved) {
    if (RequestedDpi() != 0 && RequestedDpi() != 144)
        GTEST_SKIP() << "run at 144 dpi";
    Wizard wizard(bays::CdAndRecorder());
    ASSERT_TRUE(wizard.WaitForFrame());
    ASSERT_TRUE(wizard.WalkTo(2));
    const auto planned = [&](size_t rows, const wchar_t* destination) {
        return WaitFor(
            [&] {
                std::vector<std::wstring> texts = wizard.DriveRowTexts();
                return texts.size() == rows && texts[0].find(destination) != std::wstring::npos;
            },
            15000);
    };
    const auto cycle = [&] {
        return wizard.Tray("detach F") && planned(1, L"There is no drive capable") &&
               wizard.Tray("attach F") && planned(2, L"Destination: F: x1");
    };
    ASSERT_TRUE(planned(2, L"Destination: F: x1"));
    ASSERT_TRUE(cycle());
    Level before;
    ASSERT_TRUE(ReadLevel(wizard, before));
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(cycle()) << "cycle " << i;
    Level after;
    ASSERT_TRUE(ReadLevel(wizard, after));
    EXPECT_GT(after.objects.calls, before.objects.calls);
    for (int kind = 0; kind < CountedKindCount; ++kind) {
        EXPECT_EQ(after.objects.live[kind], before.objects.live[kind]) << CountedKindName(kind);
    }
    EXPECT_EQ(after.windows, before.windows);
    EXPECT_TRUE(wizard.Exit());
}

}  // namespace
}  // namespace vestrel::gui
