// The custom controls, the About box and the "Overwrite files?" dialog in
// real windows, under Wine or Windows, on a screen.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "drive/clock.h"
#include "resources/publisher.h"
#include "resources/resource_ids.h"
#include "tests/gui/gui_test_support.h"
#include "ui/button_images.h"
#include "ui/dpi.h"
#include "ui/drive_list_panel.h"
#include "ui/gradient_fill.h"
#include "ui/icon_static.h"
#include "ui/icons.h"
#include "ui/link.h"
#include "ui/messages.h"
#include "ui/panel_container.h"
#include "ui/scroll_panel.h"
#include "wizard/about_box.h"
#include "wizard/overwrite_dialog.h"
#include "wizard/version_info.h"

namespace vestrel {
namespace {

const bool commonControls = [] {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    return InitCommonControlsEx(&controls) != FALSE;
}();

// A plain top-level window that records the commands its children send.
struct Host {
    HWND window = nullptr;
    std::vector<std::pair<WPARAM, LPARAM>> commands;

    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        auto* host = reinterpret_cast<Host*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (m == WM_COMMAND && host)
            host->commands.emplace_back(wp, lp);
        return DefWindowProcW(w, m, wp, lp);
    }

    Host() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"vestrel_test_host";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                 0, 600, 500, nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Host() {
        DestroyWindow(window);
        OverrideScreenDpi(0, 0);
    }
};

// The rows of these tests: they keep their key.
LRESULT CALLBACK TestRowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_CREATE)
        SetWindowLongPtrW(
            w, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lp)->lpCreateParams));
    return DefWindowProcW(w, m, wp, lp);
}

void RegisterTestRows() {
    for (const wchar_t* name : {kProgressPanelClass, kDriveRowClass}) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = TestRowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = name;
        RegisterClassW(&wc);
    }
}

int ContentTop(HWND panel) {
    RECT content, viewport;
    GetWindowRect(PanelContent(panel), &content);
    GetWindowRect(PanelViewport(panel), &viewport);
    return content.top - viewport.top;
}

TEST(Icons, LoadAtTheSnappedSizeForTheDpi) {
    struct Case {
        int dpi, id, base, expected;
    };
    for (const Case& c : {Case{96, IDI_NEXT, 20, 20},
                          {120, IDI_NEXT, 20, 25},
                          {144, IDI_INFO, 20, 30},
                          {192, IDI_STEP_DONE, 20, 40},
                          {96, IDI_APPLICATION_ICON, 48, 48},
                          {144, IDI_APPLICATION_ICON, 48, 72},
                          {120, IDI_OVERWRITE, 48, 60}}) {
        OverrideScreenDpi(c.dpi, c.dpi);
        const SIZE size = IconImageSize(LoadSizedIcon(c.id, c.base));
        EXPECT_EQ(size.cx, c.expected) << c.id << " at " << c.dpi;
        EXPECT_EQ(size.cy, c.expected) << c.id << " at " << c.dpi;
    }
    OverrideScreenDpi(0, 0);
}

TEST(ButtonImages, OneImageOrOnePerStateAtTheScaledSize) {
    Host host;
    OverrideScreenDpi(120, 120);
    HWND button = CreateWindowExW(0, L"BUTTON", L"Next", WS_CHILD | WS_VISIBLE, 10, 10, 80, 30,
                                  host.window, nullptr, nullptr, nullptr);
    BUTTON_IMAGELIST images{};
    ASSERT_TRUE(SetButtonIcons(button, IDI_NEXT, IDI_NEXT_DISABLED, 1));
    SendMessageW(button, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&images));
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images.himl, &cx, &cy);
    EXPECT_EQ(cx, 25);
    EXPECT_EQ(cy, 25);
    EXPECT_EQ(ImageList_GetImageCount(images.himl), 6);
    EXPECT_EQ(images.uAlign, static_cast<UINT>(BUTTON_IMAGELIST_ALIGN_RIGHT));
    EXPECT_EQ(images.margin.right, 6);  // MulDiv(5, 120, 96)

    ASSERT_TRUE(SetButtonIcons(button, IDI_EXIT, 0, -1));
    SendMessageW(button, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&images));
    EXPECT_EQ(ImageList_GetImageCount(images.himl), 1);
    RemoveButtonIcons(button);
    images = {};
    SendMessageW(button, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&images));
    EXPECT_EQ(images.himl, nullptr);
    EXPECT_FALSE(SetButtonIcons(button, 999, 0, 0));
}

TEST(Link, SizedToItsTextAndClickedOnlyByAWholeClickOrAKey) {
    Host host;
    HWND link = CreateLink(host.window, 20, 30, L"Additional Info", 3805);
    ASSERT_NE(link, nullptr);
    RECT rect;
    GetClientRect(link, &rect);
    EXPECT_GT(rect.right, 40);
    EXPECT_GT(rect.bottom, 8);
    EXPECT_FALSE(LinkIsHot(link));

    // Pressed elsewhere, released over the link: no click.
    SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(host.commands.empty());
    SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    ASSERT_EQ(host.commands.size(), 1u);
    EXPECT_EQ(host.commands[0].first, MAKEWPARAM(3805, 0));
    EXPECT_EQ(host.commands[0].second, reinterpret_cast<LPARAM>(link));

    SetFocus(link);
    EXPECT_TRUE(LinkIsHot(link));
    SendMessageW(link, WM_KEYUP, VK_RETURN, 0);
    SendMessageW(link, WM_KEYUP, VK_SPACE, 0);
    SendMessageW(link, WM_KEYUP, 'A', 0);
    EXPECT_EQ(host.commands.size(), 3u);
    SetFocus(host.window);
    EXPECT_FALSE(LinkIsHot(link));
}

TEST(PanelContainer, ScrollsOnceRowsOverflowAndTheWheelFollowsTheSetting) {
    Host host;
    RegisterTestRows();
    OverrideScreenDpi(96, 96);
    HWND panel = CreatePanelContainer(host.window, 10, 10, 400, 5 * 56 + 2);
    ASSERT_NE(panel, nullptr);
    for (int i = 0; i < 5; ++i)
        SendMessageW(panel, WM_ADDDRIVEPANEL, 1, 'E' + i);
    EXPECT_EQ(PanelContainerWorkMode(panel), 1);
    EXPECT_FALSE(IsWindowEnabled(PanelScrollBar(panel)));
    EXPECT_EQ(GetFocus(), PanelRow(panel, 0));
    EXPECT_EQ(GetWindowLongPtrW(PanelRow(panel, 4), GWLP_USERDATA), 'I');
    SendMessageW(panel, WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
    EXPECT_EQ(PanelScrollPosition(panel), 0);

    HWND sixth = reinterpret_cast<HWND>(SendMessageW(panel, WM_ADDDRIVEPANEL, 0, 3));
    ASSERT_NE(sixth, nullptr);
    EXPECT_EQ(GetWindowLongPtrW(sixth, GWLP_USERDATA), 3);
    EXPECT_EQ(PanelContainerWorkMode(panel), 0);
    ASSERT_TRUE(IsWindowEnabled(PanelScrollBar(panel)));

    UINT lines = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, 3, nullptr, 0);
    SendMessageW(panel, WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
    EXPECT_EQ(PanelScrollPosition(panel), 3);
    EXPECT_EQ(ContentTop(panel), -3);
    SendMessageW(panel, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(PanelScrollPosition(panel), 56);
    SendMessageW(panel, WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(PanelScrollPosition(panel), 56);
    SendMessageW(panel, WM_VSCROLL, SB_TOP, 0);

    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, WHEEL_PAGESCROLL, nullptr, 0);
    SendMessageW(panel, WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
    EXPECT_EQ(PanelScrollPosition(panel), 37);
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, lines, nullptr, 0);
}

bool AnswerRowMessage(HWND panel, UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message != WM_ADDDRIVEROW)
        return false;
    result = reinterpret_cast<LRESULT>(AddPanelRow(panel, kDriveRowClass, wParam));
    return true;
}

TEST(DriveListPanel, RowsComeThroughTheHandlerAndLeaveNoGap) {
    Host host;
    RegisterTestRows();
    OverrideScreenDpi(96, 96);
    SetDriveRowMessageHandler(AnswerRowMessage);
    HWND panel = CreateDriveListPanel(host.window, 10, 10, 400, 5 * 55 + 2);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(GetDlgCtrlID(panel), kDriveListPanelId);
    for (wchar_t letter = 'D'; letter <= 'I'; ++letter)
        SendMessageW(panel, WM_ADDDRIVEROW, letter, 0);
    SetDriveRowMessageHandler(nullptr);
    ASSERT_EQ(PanelRowCount(panel), 6);
    ASSERT_TRUE(IsWindowEnabled(PanelScrollBar(panel)));
    SendMessageW(panel, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(PanelScrollPosition(panel), 55);

    HWND first = PanelRow(panel, 0), second = PanelRow(panel, 1);
    EXPECT_EQ(FocusedPanelRow(panel), first);
    ASSERT_TRUE(RemovePanelRow(panel, first));
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(FocusedPanelRow(panel), second);
    RECT rect;
    GetWindowRect(second, &rect);
    MapWindowPoints(HWND_DESKTOP, PanelContent(panel), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.top, 0);
    EXPECT_FALSE(IsWindowEnabled(PanelScrollBar(panel)));
    EXPECT_EQ(ContentTop(panel), 0);
}

TEST(IconStatic, KeepsTheIconItIsGiven) {
    Host host;
    HWND icon = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ICON, 5, 5, 20,
                                20, host.window, nullptr, nullptr, nullptr);
    SubclassTransparentIconStatic(icon);
    HICON info = LoadSizedIcon(IDI_INFO, 20);
    EXPECT_EQ(SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(info), 0), 100);
    EXPECT_EQ(SendMessageW(icon, STM_GETICON, 0, 0), reinterpret_cast<LRESULT>(info));
    DestroyWindow(icon);
    EXPECT_NE(IconImageSize(info).cx, 0);  // shared: still alive
}

TEST(GradientFill, RunsFromLeftToRightColourInScreenOrder) {
    InitGradientFill();
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 64, 4);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    const RECT all{0, 0, 64, 4};
    EXPECT_EQ(FillGradient(dc, all, Color16From8(255, 0, 0), Color16From8(0, 0, 255)), 1);
    const COLORREF left = GetPixel(dc, 0, 1), right = GetPixel(dc, 63, 1);
    EXPECT_GE(GetRValue(left), 254);
    EXPECT_LE(GetBValue(left), 1);
    EXPECT_LE(GetRValue(right), 5);
    EXPECT_GE(GetBValue(right), 250);
    SetPixel(dc, 0, 0, RGB(1, 2, 3));
    FillGradient(dc, RECT{0, 0, 0, 4}, Color16From8(255, 0, 0), Color16From8(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(1, 2, 3));
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    DeleteGradientCache();
}

TEST(Version, ReadFromTheProgramsOwnResource) {
    ReadProgramVersion();
    const VersionRecord& version = ProgramVersion();
    EXPECT_EQ(version.fileVersion, L"3.4.5.6");
    EXPECT_EQ(version.fileNumbers.minor, 4);
    EXPECT_EQ(version.productNumbers.revision, 7);
    EXPECT_EQ(version.specialBuild, L"RC");
    EXPECT_EQ(QueryVersionString(L"Missing"), L"");
    std::wstring line = L"Version: ";
    AppendDisplayVersion(line);
    EXPECT_EQ(line, L"Version: 3.4 RC");
    ReleaseProgramVersion();
    EXPECT_EQ(ProgramVersion().specialBuild, L"");

    wchar_t folder[MAX_PATH + 1], path[MAX_PATH + 1];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"ver", 0, path);
    line = L"Version: ";
    AppendDisplayVersionOf(path, line);
    EXPECT_EQ(line, L"Version: -Error-");
    DeleteFileW(path);
}

// The About box run modally while a timer works it like a person would.
struct AboutScript {
    std::vector<std::function<void(HWND)>> steps;
    size_t next = 0;
    HWND box = nullptr;
};
AboutScript* script = nullptr;

void CALLBACK RunAboutStep(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = FindWindowW(L"#32770", L"About t4k Vestrel\x2122");
    if (!box || !IsWindowVisible(box))
        return;
    script->box = box;
    if (script->next < script->steps.size())
        script->steps[script->next++](box);
    else
        KillTimer(nullptr, timer);
}

// Runs the box with the steps; false when it did not end by itself.
bool RunAboutBox(AboutScript& steps) {
    script = &steps;
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, RunAboutStep);
    // The last step closes the box whatever the others did, so the test never hangs.
    steps.steps.push_back([](HWND box) { EndDialog(box, 99); });
    ShowAboutBox(nullptr);
    KillTimer(nullptr, timer);
    script = nullptr;
    return steps.next < steps.steps.size();
}

std::wstring Text(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

TEST(AboutBox, ShowsItsTextsAndTheLinkAndEndsOnlyByOkEscapeOrClose) {
    AboutScript inspect;
    inspect.steps.push_back([](HWND box) {
        EXPECT_EQ(Text(GetDlgItem(box, IDC_ABOUT_ICONS_TITLE)),
                  L"Icons used in this software are from:");
        EXPECT_NE(Text(GetDlgItem(box, IDC_ABOUT_ICONS_TEXT)).find(VESTREL_WEB_ADDRESS),
                  std::wstring::npos);
        HWND link = GetDlgItem(box, IDC_ABOUT_LINK);
        EXPECT_EQ(Text(link), VESTREL_WEB_ADDRESS);
        RECT rect;
        GetWindowRect(link, &rect);
        MapWindowPoints(HWND_DESKTOP, box, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_GT(rect.left, 0);  // placed by the painting
        EXPECT_EQ(GetWindowLongPtrW(GetDlgItem(box, IDOK), GWL_STYLE) & BS_TYPEMASK,
                  BS_DEFPUSHBUTTON);
        EXPECT_EQ(GetFocus(), GetDlgItem(box, IDOK));
        // Enter while the link has the focus is the link's, not OK's.
        SetFocus(link);
        SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    });
    inspect.steps.push_back([](HWND box) {
        EXPECT_TRUE(IsWindow(box));
        SetFocus(GetDlgItem(box, IDOK));
        SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    });
    EXPECT_TRUE(RunAboutBox(inspect));
    EXPECT_EQ(inspect.next, 2u);

    for (auto close : {+[](HWND box) { SendMessageW(box, WM_COMMAND, IDCANCEL, 0); },
                       +[](HWND box) { SendMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0); }}) {
        AboutScript run;
        run.steps.push_back(close);
        EXPECT_TRUE(RunAboutBox(run));
    }
}

// A clock the test moves by hand.
class HandClock : public Clock {
  public:
    std::atomic<uint32_t> now{5000};
    uint32_t TickCount() override { return now; }
    void Sleep(uint32_t milliseconds) override { now += milliseconds; }
    void WaitDispatchingMessages(uint32_t milliseconds) override { now += milliseconds; }
};

// What the person saw of the dialog when it showed, and whether their
// actions went as planned.
struct Seen {
    bool shown = false;
    std::wstring list;
    std::wstring caption;
    bool acted = false;
};

// Runs the dialog on this thread while a person works it from another, as
// someone at the screen would; returns how it ended. A dialog the person's
// actions did not end is ended with 99; one the person never found, by its
// countdown.
INT_PTR RunOverwriteDialog(const wchar_t* list, HandClock& clock, Seen& seen,
                           const std::function<bool(HWND)>& actions) {
    std::atomic<bool> returned{false};
    std::thread person([&] {
        HWND dialog = nullptr;
        seen.shown = gui::WaitFor(
            [&] {
                dialog = FindWindowW(L"#32770", L"t4k Vestrel\x2122");
                return dialog && IsWindowVisible(dialog);
            },
            10000);
        while (!seen.shown && !returned) {
            clock.now += 1000;
            Sleep(20);
        }
        if (!seen.shown)
            return;
        seen.list = gui::Text(GetDlgItem(dialog, IDC_OVERWRITE_LIST));
        seen.caption = gui::Text(GetDlgItem(dialog, IDC_OVERWRITE));
        seen.acted = actions(dialog);
        if (!gui::WaitFor([&] { return !IsWindow(dialog); }, 10000))
            EndDialog(dialog, 99);
    });
    const INT_PTR result = wizard::ShowOverwriteDialog(nullptr, list);
    returned = true;
    person.join();
    return result;
}

TEST(OverwriteDialog, ShowsTheListCountsDownAndEndsByItselfByItsButtonsOrTheCloseBox) {
    const wchar_t list[] =
        L"C:\\Temp\\t4k Vestrel\\E000.iso\r\n\r\nC:\\Temp\\t4k Vestrel\\F001.wav";
    HandClock clock;
    InstallClock(&clock);
    // Each second of the test's clock takes one off; the count follows that
    // clock, not the wall's, so it is over long before 9 real seconds.
    const auto countdown = [&](HWND dialog) {
        HWND button = GetDlgItem(dialog, IDC_OVERWRITE);
        const DWORD start = GetTickCount();
        for (int n = 9; n >= 1; --n) {
            clock.now += 1000;
            const std::wstring caption = L"Overwrite -- " + std::to_wstring(n);
            if (!gui::WaitFor([&] { return gui::Text(button) == caption; }, 5000))
                return false;
        }
        clock.now += 1000;  // now the dialog clicks Overwrite itself
        return GetTickCount() - start < 8000;
    };
    struct Case {
        const char* name;
        std::function<bool(HWND)> actions;
        INT_PTR ended;
    };
    const Case cases[] = {
        {"countdown", countdown, IDC_OVERWRITE},
        {"Cancel",
         [](HWND dialog) {
             return gui::SaveScreenshot(dialog, L"overwrite") &&
                    gui::Click(GetDlgItem(dialog, IDC_OVERWRITE_CANCEL));
         },
         IDC_OVERWRITE_CANCEL},
        {"Overwrite", [](HWND dialog) { return gui::Click(GetDlgItem(dialog, IDC_OVERWRITE)); },
         IDC_OVERWRITE},
        {"close box",
         [](HWND dialog) { return PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE; },
         IDC_OVERWRITE_CANCEL},
    };
    for (const Case& c : cases) {
        Seen seen;
        EXPECT_EQ(RunOverwriteDialog(list, clock, seen, c.actions), c.ended) << c.name;
        EXPECT_TRUE(seen.shown) << c.name;
        EXPECT_EQ(seen.list, list) << c.name;
        EXPECT_EQ(seen.caption, L"Overwrite -- 10") << c.name;
        EXPECT_TRUE(seen.acted) << c.name;
    }
    InstallClock(nullptr);
}

}  // namespace
}  // namespace vestrel
