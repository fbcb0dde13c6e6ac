// The wizard driven from outside, as a person at the screen would, at the
// dots per inch the harness set.
#include <gtest/gtest.h>

#include <algorithm>

#include "resources/publisher.h"
#include "tests/gui/wizard_session.h"

namespace vestrel::gui {
namespace {

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

#define ASSERT_FRAME(wizard) ASSERT_TRUE((wizard).WaitForFrame()) << Narrow((wizard).Error())

int Scaled(int pixels) {
    return MulDiv(pixels, ScreenDpi(), 96);
}

bool Differs(COLORREF a, COLORREF b, int by = 40) {
    return std::abs(GetRValue(a) - GetRValue(b)) > by ||
           std::abs(GetGValue(a) - GetGValue(b)) > by || std::abs(GetBValue(a) - GetBValue(b)) > by;
}

bool Coloured(COLORREF c) {
    int high = std::max({GetRValue(c), GetGValue(c), GetBValue(c)});
    int low = std::min({GetRValue(c), GetGValue(c), GetBValue(c)});
    return high - low > 60;
}

struct Span {
    int first = -1, last = -1;  // inclusive; first -1 when empty
    bool empty() const { return first < 0; }
};

// Runs of rows of the picture, within columns [left, right), that hold
// something other than the paper colour.
std::vector<Span> InkRuns(const Picture& p, int left, int right, COLORREF paper) {
    std::vector<Span> runs;
    for (int y = 0; y < p.height; ++y) {
        bool ink = false;
        for (int x = std::max(left, 0); x < std::min(right, p.width) && !ink; ++x)
            ink = Differs(p.At(x, y), paper);
        if (ink && (runs.empty() || runs.back().last != y - 1))
            runs.push_back({y, y});
        else if (ink)
            runs.back().last = y;
    }
    return runs;
}

// The columns within the rows that hold pixels matching the test.
template <typename Test>
Span Columns(const Picture& p, int top, int bottom, Test test) {
    Span s;
    for (int x = 0; x < p.width; ++x) {
        for (int y = std::max(top, 0); y < std::min(bottom, p.height); ++y) {
            if (test(p.At(x, y))) {
                s.first = s.first < 0 ? x : s.first;
                s.last = x;
                break;
            }
        }
    }
    return s;
}

Picture Crop(const Picture& p, int left, int top, int right, int bottom) {
    Picture c;
    c.width = right - left;
    c.height = bottom - top;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x)
            c.pixels.push_back(p.At(x, y));
    }
    return c;
}

// The step list's markers: where they sit, and what they look like.
struct Markers {
    std::vector<Span> rows;
    std::vector<Picture> pictures;
};

Markers StepMarkers(HWND sidePanel) {
    Picture panel = CaptureSettled(sidePanel);
    const int left = Scaled(12), right = Scaled(12) + Scaled(20);
    Markers m;
    // Leave out the panel's grey border.
    Picture inside = Crop(panel, 0, 1, panel.width, panel.height - 1);
    for (Span rows : InkRuns(inside, left, right, RGB(255, 255, 255))) {
        m.rows.push_back({rows.first + 1, rows.last + 1});
        m.pictures.push_back(Crop(panel, left, rows.first + 1, right, rows.last + 2));
    }
    return m;
}

class WizardTest : public ::testing::Test {
  protected:
    // A question of the wizard: caption, text, buttons and icon.
    HWND ExpectQuestion(Wizard& wizard, const std::wstring& text) {
        HWND box = WaitForDialog(wizard.Process().Id(), kProductName, nullptr, 5000);
        if (!box)
            return nullptr;
        MessageBoxView view = ReadMessageBox(box);
        EXPECT_EQ(view.text, text);
        EXPECT_EQ(view.buttons, (std::vector<int>{IDYES, IDNO}));
        EXPECT_EQ(MessageBoxIcon(box), 32514);  // IDI_QUESTION
        return box;
    }
};

TEST_F(WizardTest, StartsWithCaptionStepListHeaderAndButtonIcons) {
    Wizard wizard(bays::Quick());
    ASSERT_FRAME(wizard);
    EXPECT_EQ(Text(wizard.Frame()), L"t4k Vestrel\x2122 0.75 BETA");
    EXPECT_EQ(wizard.Header(), L"Welcome!");
    EXPECT_EQ(Text(wizard.Control(kWebLink)), VESTREL_WEB_ADDRESS);
    EXPECT_EQ(ClassName(wizard.Control(kWebLink)), L"l0");

    // Step 1 marked, its number where the scaled layout puts it: at 144 dpi
    // 57 pixels from the panel's edge, and the first step 50 from its top.
    Markers markers = StepMarkers(wizard.Control(kSidePanel));
    ASSERT_EQ(markers.rows.size(), 1u);
    const int stepTop = Scaled(33);
    EXPECT_NEAR(markers.rows[0].first, stepTop - Scaled(2), Scaled(3));
    Picture panel = CaptureSettled(wizard.Control(kSidePanel));
    Picture firstStep = Crop(panel, 0, stepTop - 1, panel.width - 1, stepTop + Scaled(16));
    Span textFrom = Columns(
        Crop(firstStep, Scaled(33), 0, firstStep.width, firstStep.height), 0, firstStep.height,
        [](COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c) < 384; });
    ASSERT_FALSE(textFrom.empty());
    const int numberLeft = Scaled(33) + textFrom.first;
    EXPECT_GE(numberLeft, Scaled(38));
    EXPECT_LE(numberLeft, Scaled(38) + Scaled(3));
    std::vector<Span> textRows =
        InkRuns(Crop(panel, Scaled(38), 1, panel.width - 2, panel.height - 1), 0, panel.width,
                RGB(255, 255, 255));
    ASSERT_FALSE(textRows.empty());
    EXPECT_GE(textRows[0].first + 1, stepTop);
    EXPECT_LE(textRows[0].first + 1, stepTop + Scaled(8));

    // The header in its large font.
    Picture header = CaptureSettled(wizard.Control(kHeader));
    std::vector<Span> headerRows = InkRuns(header, 0, header.width, RGB(255, 255, 255));
    ASSERT_FALSE(headerRows.empty());
    EXPECT_GE(headerRows[0].last - headerRows[0].first + 1, Scaled(12));

    // Buttons: Exit's and Back's icons left of the text, Next's right of
    // it, About's alone; Back starts disabled.
    EXPECT_EQ(Text(wizard.Control(kNext)), L"Next");
    EXPECT_EQ(Text(wizard.Control(kBack)), L"Back");
    EXPECT_EQ(Text(wizard.Control(kExit)), L"Exit");
    EXPECT_FALSE(IsWindowEnabled(wizard.Control(kBack)));
    // Inside the button's border, which may be coloured when it is the default.
    auto colour = [&](int id) {
        Picture b = CaptureSettled(wizard.Control(id));
        const int edge = Scaled(4);
        Span icon =
            Columns(Crop(b, edge, edge, b.width - edge, b.height - edge), 0, b.height, Coloured);
        if (!icon.empty()) {
            icon.first += edge;
            icon.last += edge;
        }
        return std::make_pair(icon, b.width);
    };
    auto [exitIcon, exitWidth] = colour(kExit);
    auto [nextIcon, nextWidth] = colour(kNext);
    auto [aboutIcon, aboutWidth] = colour(kAbout);
    ASSERT_FALSE(exitIcon.empty());
    ASSERT_FALSE(nextIcon.empty());
    ASSERT_FALSE(aboutIcon.empty());
    EXPECT_LT(exitIcon.last, exitWidth / 2);
    EXPECT_GT(nextIcon.first, nextWidth / 2);
    EXPECT_NEAR((aboutIcon.first + aboutIcon.last) / 2, aboutWidth / 2, Scaled(3));
    Picture back = CaptureSettled(wizard.Control(kBack));
    const COLORREF face = back.At(back.width / 2, 3);
    Span backInk = Columns(Crop(back, 3, 3, back.width / 3, back.height - 3), 0, back.height,
                           [&](COLORREF c) { return Differs(c, face); });
    EXPECT_FALSE(backInk.empty()) << "no disabled icon left of Back's text";
    EXPECT_TRUE(wizard.Exit());
}

TEST_F(WizardTest, ASecondInstanceRaisesTheFirstAndShowsNothing) {
    Wizard first(bays::Quick());
    ASSERT_FRAME(first);
    PostMessageW(first.Frame(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(first.Frame()) != FALSE; }, 3000));

    Program second(BuildProgram(kVirtualWizard), {{L"VESTREL_BAY", first.BayFile()}});
    ASSERT_TRUE(second.Started());
    bool shown = false;
    DWORD exitCode = 99;
    bool ended = WaitFor(
        [&] {
            shown = shown || !TopWindows(second.Id()).empty();
            return second.WaitForExit(0, &exitCode);
        },
        10000);
    ASSERT_TRUE(ended);
    EXPECT_FALSE(shown);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(WaitFor([&] { return !IsIconic(first.Frame()); }, 3000));
    EXPECT_EQ(GetForegroundWindow(), first.Frame());
    EXPECT_TRUE(first.Exit());
}

TEST_F(WizardTest, TwoStartedAtTheSameMomentShowOneFrame) {
    Wizard wizards[] = {Wizard(bays::Quick()), Wizard(bays::Quick())};
    bool shown[2] = {};
    int ended = -1;
    DWORD exitCode = 99;
    ASSERT_TRUE(WaitFor(
        [&] {
            for (int i = 0; i < 2; ++i) {
                shown[i] = shown[i] || !TopWindows(wizards[i].Process().Id()).empty();
                if (ended < 0 && wizards[i].Process().WaitForExit(0, &exitCode))
                    ended = i;
            }
            return ended >= 0;
        },
        15000));
    EXPECT_FALSE(shown[ended]);
    EXPECT_EQ(exitCode, 0u);
    Wizard& running = wizards[1 - ended];
    ASSERT_FRAME(running);
    EXPECT_TRUE(running.Exit());
}

TEST_F(WizardTest, WelcomeListsTheSupportedDiscTypes) {
    Wizard wizard(bays::Quick());
    ASSERT_FRAME(wizard);
    HWND here = FindControl(wizard.Page(), 3202, L"l0");
    ASSERT_NE(here, nullptr);
    EXPECT_EQ(Text(here), L"here");
    ASSERT_TRUE(MouseClick(here));
    HWND box = WaitForDialog(wizard.Process().Id(), kProductName, nullptr, 5000);
    ASSERT_NE(box, nullptr);
    MessageBoxView view = ReadMessageBox(box);
    EXPECT_EQ(
        view.text,
        L"t4k Vestrel\x2122 works with the following types of optical disc.  \r\n\r\n"
        L" \x2022 CDs/ Compact Disc ///  \r\n    CD-ROM, CD-R and CD-RW.  \r\n\r\n"
        L" \x2022 DVDs/ Digital Versatile(Video) Disc ///  \r\n    DVD-ROM, DVD-R, DVD-RW,  \r\n"
        L"    DVD-RAM, DVD+R, DVD+RW, DVD-R Dual Layer,  \r\n"
        L"    DVD-RW Dual Layer, DVD+R Dual Layer, and DVD+RW Dual Layer.  \r\n\r\n"
        L" \x2022 High-Definition DVDs /// \r\n    HD DVD-ROM, HD DVD-R, HD DVD-RW, and  \r\n"
        L"    HD-DVD-RAM.  \r\n\r\n"
        L" \x2022 Blu-Ray Discs ///  \r\n    BD-ROM, BD-R and BD-RE.   \r\n\r\n"
        L"\r\nClick OK to close this dialog.");
    EXPECT_EQ(view.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(MessageBoxIcon(box), 32516);  // IDI_INFORMATION
    EXPECT_TRUE(SaveScreenshot(box, L"supported-types"));
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_EQ(wizard.Header(), L"Welcome!");
    EXPECT_TRUE(wizard.Exit());
}

// Milliseconds from the Remove discs page's appearance to the select page.
DWORD TimeOnRemoveDiscs(Wizard& wizard, DWORD timeoutMs) {
    if (!Click(wizard.Control(kNext)) || !wizard.WaitForStep(1))
        return 0;
    DWORD shown = GetTickCount();
    if (!wizard.WaitForStep(2, timeoutMs))
        return timeoutMs;
    return GetTickCount() - shown;
}

// Remove discs moves on about a second after it shows, or, where the page
// opened a recorder's tray, once the person closes it 2.5 s later.
TEST_F(WizardTest, RemoveDiscsMovesOnOnceTheTraysAreClosed) {
    struct Case {
        const char* what;
        sim::testing::BaySpec bay;
        DWORD timeoutMs, atLeast, atMost;
    };
    for (const Case& c : {Case{"no recorder", bays::Quick(), 8000, 800, 3000},
                          Case{"trays closed later", bays::Trays(), 10000, 2300, 6000}}) {
        SCOPED_TRACE(c.what);
        Wizard wizard(c.bay);
        ASSERT_FRAME(wizard);
        DWORD ms = TimeOnRemoveDiscs(wizard, c.timeoutMs);
        EXPECT_GE(ms, c.atLeast);
        EXPECT_LE(ms, c.atMost);
        EXPECT_TRUE(wizard.Exit());
    }
}

TEST_F(WizardTest, RemoveDiscsIsHeldUpByARecordersOpenTray) {
    Wizard wizard(bays::OpenRecorder());
    ASSERT_FRAME(wizard);
    ASSERT_TRUE(Click(wizard.Control(kNext)));
    ASSERT_TRUE(wizard.WaitForStep(1));
    EXPECT_FALSE(Click(wizard.Control(kNext)));
    EXPECT_FALSE(Click(wizard.Control(kBack)));
    HWND page = wizard.Page();
    HWND info = FindControl(page, 3805, L"l0");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(Text(info), L"Additional Info");
    EXPECT_FALSE(IsWindowVisible(FindControl(page, 3804)));
    ASSERT_TRUE(MouseClick(info));
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(FindControl(page, 3804)) != FALSE; }, 3000));
    EXPECT_EQ(Text(FindControl(page, 3804)),
              L"If you know what you're doing, you can load your source discs now, but bear in "
              L"mind the next step shows you each drive's capabilities. The best drive for a "
              L"given disc is the one that minimally supports it: for instance a CD-ROM or CD-RW "
              L"drive is better for a CD than a higher spec drive such as a DVD-ROM drive.");
    // The words stay, underlined, but are no link any more.
    HWND words = FindControl(page, 3805);
    ASSERT_NE(words, nullptr);
    EXPECT_EQ(ClassName(words), L"Static");
    EXPECT_EQ(Text(words), L"Additional Info");
    EXPECT_TRUE(SaveScreenshot(wizard.Frame(), L"remove-discs-info"));

    Sleep(3000);
    EXPECT_EQ(wizard.Header(), L"Remove discs");
    EXPECT_TRUE(wizard.Exit(3000));
}

TEST_F(WizardTest, AboutBoxTextsLinkOkAndEscape) {
    Wizard wizard(bays::Quick());
    ASSERT_FRAME(wizard);
    const DWORD id = wizard.Process().Id();
    for (int way : {VK_ESCAPE, IDOK}) {
        ASSERT_TRUE(Click(wizard.Control(kAbout)));
        HWND about = WaitForDialog(id, L"About t4k Vestrel\x2122", wizard.Frame(), 5000);
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(Text(FindControl(about, 3103)), L"Icons used in this software are from:");
        EXPECT_FALSE(Text(FindControl(about, 3104)).empty());
        EXPECT_EQ(Text(FindControl(about, 3101, L"l0")), VESTREL_WEB_ADDRESS);
        HWND ok = FindControl(about, IDOK);
        EXPECT_EQ(Text(ok), L"OK");
        EXPECT_TRUE(GetWindowLongW(ok, GWL_STYLE) & BS_DEFPUSHBUTTON);
        // A person sees the button, its icon included, where it is.
        Picture okShown = CaptureSettled(ok);
        EXPECT_FALSE(Columns(okShown, 2, okShown.height - 2, Coloured).empty())
            << "OK is not drawn on the screen";
        // The frame waits while the box is up.
        EXPECT_FALSE(Click(wizard.Control(kExit)));
        if (way == VK_ESCAPE) {
            EXPECT_TRUE(SaveScreenshot(about, L"about"));
            PressKey(VK_ESCAPE);
        } else {
            ASSERT_TRUE(MouseClick(ok));
        }
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }, 3000)) << way;
        EXPECT_EQ(wizard.Header(), L"Welcome!");
    }
    EXPECT_TRUE(wizard.Exit());
}

// On every page: Back can be pressed on Read source discs only, where it
// asks first; Exit ends the program at once (no copy runs).
TEST_F(WizardTest, BackAndExitOnEachPage) {
    const wchar_t* names[] = {L"welcome", L"remove-discs", L"select-drives",
                              L"reading", L"writing",      L"finish"};
    for (int index = 0; index < 6; ++index) {
        SCOPED_TRACE(index);
        Wizard wizard(index == 1 ? bays::OpenRecorder() : bays::Quick());
        ASSERT_FRAME(wizard);
        ASSERT_TRUE(wizard.WalkTo(index));
        EXPECT_TRUE(SaveScreenshot(wizard.Frame(), names[index]));
        HWND back = wizard.Control(kBack);
        if (index != 3) {
            EXPECT_FALSE(Click(back));
        } else {
            ASSERT_TRUE(Click(back));
            HWND box = ExpectQuestion(
                wizard, L"Are you sure you want to cancel the copy process and go back?");
            ASSERT_NE(box, nullptr);
            EXPECT_TRUE(SaveScreenshot(box, L"back-question"));
            ASSERT_TRUE(AnswerMessageBox(box, IDNO));
            EXPECT_TRUE(wizard.WaitForStep(3, 1000));
            EXPECT_TRUE(IsWindowEnabled(back));
        }
        if (index == 5) {
            // The caption's close box is Exit too.
            PostMessageW(wizard.Frame(), WM_SYSCOMMAND, SC_CLOSE, 0);
        } else {
            ASSERT_TRUE(Click(wizard.Control(kExit)));
        }
        DWORD exitCode = 99;
        EXPECT_TRUE(wizard.Process().WaitForExit(5000, &exitCode));
        EXPECT_EQ(exitCode, 0u);
    }
}

TEST_F(WizardTest, BackFromReadingConfirmedReturnsToTheSelectPage) {
    Wizard wizard(bays::Quick());
    ASSERT_FRAME(wizard);
    ASSERT_TRUE(wizard.WalkTo(3));
    ASSERT_TRUE(Click(wizard.Control(kBack)));
    HWND box = ExpectQuestion(wizard,
                              L"Are you sure you want to cancel the copy process and go "
                              L"back?");
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(AnswerMessageBox(box, IDYES));
    EXPECT_TRUE(wizard.WaitForStep(2));
    EXPECT_FALSE(IsWindowEnabled(wizard.Control(kBack)));
    EXPECT_EQ(StepMarkers(wizard.Control(kSidePanel)).rows.size(), 3u);
    EXPECT_TRUE(wizard.Exit());
}

TEST_F(WizardTest, FinishTextsOfARunNotAllCopiedAndHereLeadsToRemoveDiscs) {
    Wizard wizard(bays::Quick());
    ASSERT_FRAME(wizard);
    Markers current = StepMarkers(wizard.Control(kSidePanel));
    ASSERT_EQ(current.rows.size(), 1u);
    ASSERT_TRUE(wizard.WalkTo(5));
    HWND page = wizard.Page();
    EXPECT_EQ(Text(FindControl(page, 3801)), L"Unfortunately, not all your discs were copied.");
    EXPECT_EQ(Text(FindControl(page, 3802)),
              L"You may try other disc brands or recorder drives, or simply, just try again "
              L"later.");
    Markers done = StepMarkers(wizard.Control(kSidePanel));
    ASSERT_EQ(done.rows.size(), 6u);
    EXPECT_FALSE(done.pictures[0].pixels == current.pictures[0].pixels);
    EXPECT_FALSE(Click(wizard.Control(kNext))) << "Next enabled on Finish";

    // "here": the copy cycle begins again at Remove discs, step 1 done.
    HWND here = FindControl(page, 3803, L"l0");
    ASSERT_NE(here, nullptr);
    EXPECT_EQ(Text(here), L"here");
    ASSERT_TRUE(MouseClick(here));
    ASSERT_TRUE(wizard.WaitForStep(1));
    Markers again = StepMarkers(wizard.Control(kSidePanel));
    ASSERT_EQ(again.rows.size(), 2u);
    EXPECT_TRUE(again.pictures[0].pixels == done.pictures[0].pixels) << "step 1 not marked done";
    EXPECT_TRUE(again.pictures[1].pixels == current.pictures[0].pixels) << "step 2 not current";
    ASSERT_TRUE(wizard.WaitForStep(2));
    EXPECT_TRUE(wizard.Exit());
}

TEST_F(WizardTest, RealProgramWithoutOpticalDrivesReachesAnEmptySelectPage) {
    Wizard wizard(nullptr, kRealWizard);
    ASSERT_FRAME(wizard);
    EXPECT_EQ(Text(wizard.Frame()), L"t4k Vestrel\x2122 0.75 BETA");
    ASSERT_TRUE(wizard.WalkTo(2));
    HWND list = FindControl(wizard.Page(), 3404, L"o0");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(FindControl(list, 0, L"o3"), nullptr);
    int rows = 0;
    EnumChildWindows(
        list,
        [](HWND child, LPARAM count) -> BOOL {
            *reinterpret_cast<int*>(count) += ClassName(child) == L"o3";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&rows));
    EXPECT_EQ(rows, 0);
    EXPECT_TRUE(SaveScreenshot(wizard.Frame(), L"real-select-drives"));
    EXPECT_TRUE(wizard.Exit());
}

}  // namespace
}  // namespace vestrel::gui
