// A progress panel, 56 dip high:
//
//   [icon] BD-RE Drive (G:) [ORBITA]                      (blue, bold)
//           - Source: 1/2, Label: FILM, Copy: 1/3
//          Status: Writing track 1 of 1...      Skip Source  Eject
//          [=========================                        ]
//
// Its picture is drawn into four cached bitmaps (plain, hovered, focused,
// both) whenever its texts or state change; a paint copies one of them.
// The texts are replaced by the worker under the drive lock, so they are
// copied under it before they are drawn. The worker only posts: the panel
// changes its own bar and links.
#include "wizard/progress_panel.h"

#include <commctrl.h>
#include <shellapi.h>

#include <array>
#include <bit>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "drive/capabilities.h"
#include "drive/disc_types.h"
#include "drive/drive_list.h"
#include "drive/drive_lock.h"
#include "drive/source_table.h"
#include "drive/text.h"
#include "drive/transport.h"
#include "engine/panel_drive.h"
#include "engine/reader_thread.h"
#include "engine/worker_threads.h"
#include "engine/writer_thread.h"
#include "ui/dpi.h"
#include "ui/gdi.h"
#include "ui/gradient_fill.h"
#include "ui/link.h"
#include "ui/messages.h"
#include "ui/mouse_forwarding.h"
#include "ui/panel_container.h"
#include "ui/scroll_panel.h"
#include "wizard/frame_state.h"
#include "wizard/pages.h"
#include "wizard/window_panel_channel.h"

namespace vestrel::wizard {

namespace {

constexpr COLORREF kTitleColour = RGB(0, 83, 166);

// Layout at 96 dpi.
constexpr int kIconX = 6, kIconY = 6, kIconSize = 32;
constexpr int kTextX = 44, kTitleY = 2, kSecondY = 15, kStatusY = 28, kLineHeight = 13;
constexpr int kBarY = 43, kBarHeight = 9, kRightMargin = 6, kLinkGap = 5;

// The panel's own record, in property "_0".
struct Panel {
    explicit Panel(HWND window) : channel(window, state) {}
    PanelState state;  // texts replaced by the worker under the drive lock
    WindowPanelChannel channel;
    std::shared_ptr<WorkerThread> worker;
    bool writing = false;
    HICON icon = nullptr;
    std::array<HBITMAP, 4> pictures{};  // plain, hovered, focused, both
    std::vector<HWND> links;            // in increasing bit order
    uint32_t linkBits = 0;              // the links shown
    bool hovered = false;
};

Panel* PanelOf(HWND window) {
    return static_cast<Panel*>(GetPropW(window, kPropPanel));
}

HWND ContainerOf(HWND panel) {
    return GetParent(GetParent(GetParent(panel)));
}

HFONT ContainerFont(HWND panel, const wchar_t* property) {
    return static_cast<HFONT>(GetPropW(ContainerOf(panel), property));
}

HWND BarOf(HWND panel) {
    DriveLockGuard lock;
    return static_cast<HWND>(GetPropW(panel, kPropBar));
}

void SetValue(HWND panel, const wchar_t* property, uint32_t value) {
    DriveLockGuard lock;
    SetPropW(panel, property, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value)));
}

void DrawText(HDC dc, HFONT font, const std::u16string& text, RECT rect, COLORREF colour) {
    ScopedSelect selected(dc, font);
    SetTextColor(dc, colour);
    DrawTextW(dc, Wide(text.c_str()), static_cast<int>(text.size()), &rect,
              DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

// A light wash from white at the left, stronger when hovered and when
// focused.
void DrawBackground(HDC dc, const RECT& area, int variant) {
    static constexpr COLORREF kRight[] = {RGB(255, 255, 255), RGB(236, 244, 252),
                                          RGB(218, 233, 251), RGB(204, 225, 250)};
    const COLORREF right = kRight[variant];
    if (variant == 0) {
        FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
        return;
    }
    const auto channel = [](int value) { return static_cast<uint16_t>(value << 8); };
    FillGradient(
        dc, area, Color16{channel(255), channel(255), channel(255)},
        Color16{channel(GetRValue(right)), channel(GetGValue(right)), channel(GetBValue(right))});
}

// The left edge of the links' row, or the right margin without links.
int LinksLeft(HWND panel, const Panel& p, int width) {
    int left = width - ScaledX(kRightMargin);
    for (HWND link : p.links) {
        RECT r{};
        GetWindowRect(link, &r);
        MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&r), 2);
        left = std::min<int>(left, r.left);
    }
    return left;
}

void DrawPicture(HWND panel, Panel& p, HDC dc, int width, int height, int variant,
                 const PanelState& state, RunState run) {
    const RECT all{0, 0, width, height};
    DrawBackground(dc, all, variant);
    SetBkMode(dc, TRANSPARENT);
    if (p.icon)
        DrawIconEx(dc, ScaledX(kIconX), ScaledY(kIconY), p.icon, ScaledX(kIconSize),
                   ScaledY(kIconSize), 0, nullptr, DI_NORMAL);
    const int left = ScaledX(kTextX), right = width - ScaledX(kRightMargin);
    const auto line = [&](int y, int until) {
        return RECT{left, ScaledY(y), until, ScaledY(y + kLineHeight)};
    };
    DrawText(dc, ContainerFont(panel, kContainerFontBold), PanelTitle(state), line(kTitleY, right),
             kTitleColour);
    HFONT regular = ContainerFont(panel, kContainerFontRegular);
    const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
    DrawText(dc, regular, PanelSecondLine(state, run, p.writing), line(kSecondY, right), ink);
    DrawText(dc, regular, u"Status: " + state.status,
             line(kStatusY, LinksLeft(panel, p, width) - ScaledX(kLinkGap)), ink);
    if (variant >= 2) {
        RECT focus = all;
        InflateRect(&focus, -1, -1);
        DrawFocusRect(dc, &focus);
    }
}

void DeletePictures(Panel& p) {
    for (HBITMAP& picture : p.pictures) {
        if (picture)
            DeleteObject(picture);
        picture = nullptr;
    }
}

// Draws the four pictures afresh from a copy of the panel's texts.
void RedrawPictures(HWND panel) {
    Panel* p = PanelOf(panel);
    if (!p)
        return;
    PanelState state;
    RunState run;
    {
        DriveLockGuard lock;
        state = p->state;
        run = static_cast<RunState>(reinterpret_cast<uintptr_t>(GetPropW(panel, kPropRunState)));
    }
    RECT client{};
    GetClientRect(panel, &client);
    DeletePictures(*p);
    ScopedWindowDC screen(panel);
    ScopedGdiObject<HDC> unused;
    HDC memory = CreateCompatibleDC(screen.get());
    if (!memory)
        return;
    for (int variant = 0; variant < 4; ++variant) {
        HBITMAP picture = CreateCompatibleBitmap(screen.get(), client.right, client.bottom);
        if (!picture)
            continue;
        HGDIOBJ previous = SelectObject(memory, picture);
        DrawPicture(panel, *p, memory, client.right, client.bottom, variant, state, run);
        SelectObject(memory, previous);
        p->pictures[static_cast<size_t>(variant)] = picture;
    }
    DeleteDC(memory);
    InvalidateRect(panel, nullptr, FALSE);
    InvalidateLinks(panel);
    // Its lines as text, for those who read rather than look.
    std::u16string text = PanelTitle(state) + u"\n";
    const std::u16string second = PanelSecondLine(state, run, p->writing);
    if (!second.empty())
        text += second + u"\n";
    text += u"Status: " + state.status + u"\n";
    SetWindowTextW(panel, Wide(text.c_str()));
}

HBITMAP CurrentPicture(HWND panel, const Panel& p) {
    const bool focused = GetFocus() == panel;
    return p.pictures[(p.hovered ? 1u : 0u) + (focused ? 2u : 0u)];
}

// Copies `area` of the current picture to `dc` at 0,0: the panel's own
// painting and the background its links ask for.
void CopyPicture(HWND panel, HDC dc, const RECT& area) {
    Panel* p = PanelOf(panel);
    HBITMAP picture = p ? CurrentPicture(panel, *p) : nullptr;
    if (!picture)
        return;
    HDC memory = CreateCompatibleDC(dc);
    if (!memory)
        return;
    HGDIOBJ previous = SelectObject(memory, picture);
    BitBlt(dc, 0, 0, area.right - area.left, area.bottom - area.top, memory, area.left, area.top,
           SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

void Paint(HWND panel) {
    ScopedPaint paint(panel);
    RECT client{};
    GetClientRect(panel, &client);
    CopyPicture(panel, paint.get(), client);
}

void FillChildBackground(HWND panel, HDC dc, HWND child) {
    RECT area{};
    GetWindowRect(child, &area);
    MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&area), 2);
    CopyPicture(panel, dc, area);
}

void DestroyLinks(Panel& p) {
    for (HWND link : p.links)
        DestroyWindow(link);
    p.links.clear();
    p.linkBits = 0;
}

// One link per bit, in increasing bit order, right to left in the row
// above the bar.
void ShowLinks(HWND panel, uint32_t links) {
    Panel* p = PanelOf(panel);
    // The same links stay as they are, so that one a person is clicking
    // does not vanish under the mouse.
    if (!p ||
        (links == p->linkBits && p->links.size() == static_cast<size_t>(std::popcount(links))))
        return;
    DestroyLinks(*p);
    p->linkBits = links;
    RECT client{};
    GetClientRect(panel, &client);
    int right = client.right - ScaledX(kRightMargin);
    for (uint32_t bit = 1; bit != 0 && bit <= links; bit <<= 1) {
        if (!(links & bit))
            continue;
        const std::u16string caption = PanelLinkCaption(bit);
        HWND link = CreateLink(panel, 0, 0, Wide(caption.c_str()), static_cast<int>(bit));
        if (!link)
            continue;
        RECT size{};
        GetClientRect(link, &size);
        right -= size.right;
        SetWindowPos(link, nullptr, right, ScaledY(kStatusY), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        right -= ScaledX(kLinkGap);
        p->links.push_back(link);
    }
}

void Click(HWND panel, uint32_t link);

// A worker's PanelUpdate: an error or stop ends the bar and the run; the
// pictures are redrawn; the links are replaced if asked, and the ones a
// person would click at once are clicked; then the page looks at all its
// panels.
void OnPanelUpdate(HWND panel, WPARAM how, LPARAM links) {
    if (!panel_update::IsNormal(static_cast<uint32_t>(how))) {
        if (HWND bar = BarOf(panel)) {
            SendMessageW(bar, PBM_SETMARQUEE, FALSE, 0);
            SetWindowLongPtrW(bar, GWL_STYLE, GetWindowLongPtrW(bar, GWL_STYLE) & ~PBS_MARQUEE);
            SendMessageW(bar, PBM_SETPOS, 0, 0);
            EnableWindow(bar, FALSE);
        }
        SetValue(panel, kPropRunState, static_cast<uint32_t>(RunState::Stopped));
    }
    const bool replace = panel_update::ReplacesLinks(static_cast<uint32_t>(how));
    if (replace)
        ShowLinks(panel, static_cast<uint32_t>(links));
    RedrawPictures(panel);
    if (replace) {
        const uint32_t atOnce = LinksClickedAtOnce(static_cast<uint32_t>(links));
        for (uint32_t bit = 1; bit != 0 && bit <= atOnce; bit <<= 1) {
            if (atOnce & bit)
                Click(panel, bit);
        }
    }
    ReflectPanels(ContainerOf(panel));
}

void OnBarReady(HWND panel) {
    HWND bar = BarOf(panel);
    if (!bar)
        return;
    SendMessageW(bar, PBM_SETMARQUEE, FALSE, 0);
    SetWindowLongPtrW(bar, GWL_STYLE, GetWindowLongPtrW(bar, GWL_STYLE) & ~PBS_MARQUEE);
    SendMessageW(bar, PBM_SETRANGE32, 0, 1000);
    SendMessageW(bar, PBM_SETPOS, 0, 0);
}

void ShowDiscTypes(HWND panel, char16_t letter, DiscType source) {
    std::u16string text =
        FormatText(u"The source disc is of type: %s\r\n\r\n", {DiscTypeName(source)}) +
        u"To copy it, you can use a blank disc of any one of these types:\r\n";
    const DiscTypeMask blanks = WritableBlankTypes(letter, source);
    for (int bit = 0; bit <= 30; ++bit) {
        if (blanks & (DiscTypeMask{1} << bit))
            text += u"\r\n" + DiscTypeName(static_cast<DiscType>(DiscTypeMask{1} << bit));
    }
    ShowMessage(panel, Wide(text.c_str()), MB_OK | MB_ICONINFORMATION);
}

void ShowContents(HWND panel, char16_t letter) {
    const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', 0};
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(panel, L"Open", root, nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32)
        ShowMessage(panel, L"Sorry, cannot show disc contents.", MB_OK | MB_ICONEXCLAMATION);
}

// What a click on a link does, on the user-interface thread.
void Click(HWND panel, uint32_t link) {
    Panel* p = PanelOf(panel);
    if (!p)
        return;
    SetFocusedPanelRow(ContainerOf(panel), panel);
    const char16_t letter = p->state.driveLetter;
    switch (link) {
        case panel_link::SkipSource:
            if (ShowMessage(panel,
                            L"Are you sure you want to skip writing the current source disc?",
                            MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES &&
                IsWindow(panel))
                p->channel.SetSkipFlag(1);
            return;
        case panel_link::Eject:
        case panel_link::ChangeDisc:
            EjectMedium(letter);
            p->channel.SetUserReply(panel_link::ChangeDisc);
            return;
        case panel_link::DiscTypes:
            ShowDiscTypes(panel, letter, static_cast<DiscType>(p->channel.GetUserReply()));
            return;
        case panel_link::ShowContents:
            ShowContents(panel, letter);
            return;
        default:
            p->channel.SetUserReply(link);
            return;
    }
}

void OnCreate(HWND panel, const CREATESTRUCTW* create) {
    auto* p = new (std::nothrow) Panel(panel);
    if (!p)
        return;
    const auto letter = static_cast<char16_t>(reinterpret_cast<uintptr_t>(create->lpCreateParams));
    PanelState state = DescribePanelDrive(letter);
    p->writing = PanelContainerWorkMode(ContainerOf(panel)) == 1;
    const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', 0};
    SHFILEINFOW info{};
    if (SHGetFileInfoW(root, 0, &info, sizeof info, SHGFI_ICON | SHGFI_LARGEICON))
        p->icon = info.hIcon;
    RECT client{};
    GetClientRect(panel, &client);
    HWND bar = CreateWindowExW(
        0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE | PBS_MARQUEE, ScaledX(kTextX),
        ScaledY(kBarY), client.right - ScaledX(kTextX) - ScaledX(kRightMargin), ScaledY(kBarHeight),
        panel, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (bar) {
        SendMessageW(bar, PBM_SETRANGE32, 0, 1000);
        SendMessageW(bar, PBM_SETMARQUEE, TRUE, 0);
        ForwardMouseToPanel(bar);
    }
    {
        DriveLockGuard lock;
        p->state = std::move(state);
        SetPropW(panel, kPropPanel, p);
        SetPropW(panel, kPropBar, bar);
        for (const wchar_t* name : {kPropRunState, kPropSkipFlag, kPropUserReply})
            SetPropW(panel, name, nullptr);
    }
    RedrawPictures(panel);
}

// The worker is told to stop and waited for; meanwhile the messages other
// threads send to this one are answered (a worker's message box owned by
// the panel, a notification), so neither side waits for the other.
void StopWorker(Panel& p) {
    if (!p.worker)
        return;
    p.channel.SetRunState(RunState::Stopped);
    while (p.worker->Running()) {
        // Again each time: the box may show only after the first call.
        p.channel.CloseInformation();
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        Sleep(5);
    }
    p.worker->Join();
}

void OnDestroy(HWND panel) {
    Panel* p = PanelOf(panel);
    SetValue(panel, kPropRunState, static_cast<uint32_t>(RunState::Stopped));
    if (!p)
        return;
    StopWorker(*p);
    DestroyLinks(*p);
    DeletePictures(*p);
    if (p->icon)
        DestroyIcon(p->icon);
    {
        DriveLockGuard lock;
        for (const wchar_t* name :
             {kPropPanel, kPropBar, kPropRunState, kPropSkipFlag, kPropUserReply})
            RemovePropW(panel, name);
    }
    delete p;
}

void OnKeyUp(HWND panel, WPARAM key) {
    HWND container = ContainerOf(panel);
    const int count = PanelRowCount(container);
    int index = 0;
    while (index < count && PanelRow(container, index) != panel)
        ++index;
    Panel* p = PanelOf(panel);
    switch (key) {
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_HOME:
        case VK_END: {
            static constexpr std::pair<WPARAM, FocusKey> kKeys[] = {
                {VK_UP, FocusKey::Up},        {VK_DOWN, FocusKey::Down},
                {VK_PRIOR, FocusKey::PageUp}, {VK_NEXT, FocusKey::PageDown},
                {VK_HOME, FocusKey::Home},    {VK_END, FocusKey::End}};
            for (const auto& [virtualKey, focusKey] : kKeys) {
                if (virtualKey == key)
                    SetFocus(PanelRow(
                        container, static_cast<int>(MoveFocus(static_cast<size_t>(index), focusKey,
                                                              static_cast<size_t>(count)))));
            }
            return;
        }
        case VK_LEFT:
        case VK_RIGHT:
            // The links stand right to left: Left selects the one after.
            if (p && !p->links.empty())
                SetFocus(key == VK_LEFT ? p->links.back() : p->links.front());
            return;
        default:
            return;
    }
}

void OnMouseMove(HWND panel) {
    Panel* p = PanelOf(panel);
    if (!p || p->hovered)
        return;
    p->hovered = true;
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, panel, 0};
    TrackMouseEvent(&track);
    InvalidateRect(panel, nullptr, FALSE);
    InvalidateLinks(panel);
}

void OnMouseLeave(HWND panel) {
    Panel* p = PanelOf(panel);
    POINT cursor{};
    RECT client{};
    GetCursorPos(&cursor);
    ScreenToClient(panel, &cursor);
    GetClientRect(panel, &client);
    if (!p || PtInRect(&client, cursor))
        return;  // over one of the panel's own children
    p->hovered = false;
    InvalidateRect(panel, nullptr, FALSE);
    InvalidateLinks(panel);
}

LRESULT CALLBACK ProgressPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
            case WM_CREATE:
                OnCreate(panel, reinterpret_cast<const CREATESTRUCTW*>(lParam));
                return 0;
            case WM_DESTROY:
                OnDestroy(panel);
                return 0;
            case WM_ERASEBKGND:
                return 1;
            case WM_PAINT:
                Paint(panel);
                return 0;
            case WM_FILLBACKGROUND:
                FillChildBackground(panel, reinterpret_cast<HDC>(wParam),
                                    reinterpret_cast<HWND>(lParam));
                return 0;
            case WM_PANELUPDATE:
                OnPanelUpdate(panel, wParam, lParam);
                return 0;
            case WM_PANELBARREADY:
                OnBarReady(panel);
                return 0;
            case WM_PANELPROGRESS:
                if (HWND bar = BarOf(panel))
                    SendMessageW(bar, PBM_SETPOS, wParam, 0);
                return 0;
            case WM_COMMAND:
                if (HIWORD(wParam) == 0 && lParam)
                    Click(panel, LOWORD(wParam));
                return 0;
            case WM_GETDLGCODE:
                return DLGC_WANTARROWS;
            case WM_KEYUP:
                OnKeyUp(panel, wParam);
                return 0;
            case WM_LBUTTONDOWN:
                SetFocus(panel);
                return 0;
            case WM_MOUSEMOVE:
                OnMouseMove(panel);
                return 0;
            case WM_MOUSELEAVE:
                OnMouseLeave(panel);
                return 0;
            case WM_SETFOCUS:
                SetFocusedPanelRow(ContainerOf(panel), panel);
                ScrollRowIntoView(ContainerOf(panel), panel);
                [[fallthrough]];
            case WM_KILLFOCUS:
                InvalidateRect(panel, nullptr, FALSE);
                InvalidateLinks(panel);
                return 0;
            default:
                break;
        }
    } catch (...) {
        return 0;
    }
    return DefWindowProcW(panel, message, wParam, lParam);
}

// A reader panel's key: its source's drive letter.
LPARAM ReaderKey(LPARAM sourceIndex) {
    const std::vector<SourceRecord>& table = SourceTable();
    const auto index = static_cast<size_t>(sourceIndex);
    return index < table.size() ? table[index].driveLetter : 0;
}

// One worker per panel, in creation order, each started once the one
// before has taken its start block.
void StartThreads(HWND container, int mode) {
    for (int i = 0; i < PanelRowCount(container); ++i) {
        HWND panel = PanelRow(container, i);
        Panel* p = PanelOf(panel);
        if (!p)
            continue;
        ThreadStartBlock block;
        const char16_t letter = p->state.driveLetter;
        block.first = letter;
        if (mode == 0) {
            const std::vector<SourceRecord>& table = SourceTable();
            for (size_t s = 0; s < table.size(); ++s) {
                if (table[s].driveLetter == letter)
                    block.first = static_cast<uint32_t>(s);
            }
        }
        block.panel = &p->channel;
        block.frame = GetAncestor(container, GA_ROOT);
        // A worker that cannot be started ends its panel itself.
        p->worker = StartWorker(block, mode == 0 ? ReaderThread : WriterThread);
    }
}

}  // namespace

void InstallProgressPanels() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ProgressPanelProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kProgressPanelClass;
    RegisterClassW(&wc);
    PanelContainerHooks hooks;
    hooks.readerKey = ReaderKey;
    hooks.startThreads = StartThreads;
    SetPanelContainerHooks(hooks);
}

RunState PanelRunState(HWND panel) {
    DriveLockGuard lock;
    return static_cast<RunState>(reinterpret_cast<uintptr_t>(GetPropW(panel, kPropRunState)));
}

}  // namespace vestrel::wizard
