// A drive row (class "o3"), 55 dip high:
//
//   [icon] DVD-RAM Drive (E:) [ORBITA]          Copies:    |   destination
//          Reads: CD-ROM, CD-R, ...              2  [<][>]  |   column
//          Writes: ...                                      |
//          Current disc type: DVD-ROM                       |
//
// An unusable drive shows the shell's name for it and "Unusable (Click for
// details)", which opens the probe details. The row's window text is its
// lines as text (DescribeRow), for those who read rather than look.
#include "wizard/drive_row.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <string>

#include "drive/probe.h"
#include "drive/text.h"
#include "ui/dpi.h"
#include "ui/drive_list_panel.h"
#include "ui/gdi.h"
#include "ui/mouse_forwarding.h"
#include "ui/scroll_panel.h"
#include "wizard/destination_strip.h"
#include "wizard/drive_rows.h"
#include "wizard/frame_state.h"

namespace vestrel::wizard {

namespace {

// Row properties.
constexpr wchar_t kPropLetter[] = L"_0";
constexpr wchar_t kPropCopies[] = L"_1";  // the copies control
constexpr wchar_t kPropStrip[] = L"_2";   // the destination pager
constexpr wchar_t kPropIcon[] = L"_3";    // the drive's shell icon, owned
constexpr wchar_t kPropLink[] = L"_4";    // the details text's state, kLink* bits

constexpr UINT_PTR kLinkHot = 1, kLinkPressed = 2, kLinkTracking = 4;

// Posted after a click on the copies control: the row takes the focus
// back, so that the list's keys keep working.
constexpr UINT WM_FOCUSROW = WM_APP + 1;

constexpr COLORREF kLinkColour = RGB(0, 83, 166);
constexpr COLORREF kLinkHotColour = RGB(53, 154, 255);
constexpr COLORREF kNoteColour = RGB(96, 96, 96);

// Layout at 96 dpi.
constexpr int kIconX = 6, kIconY = 4, kIconSize = 32;
constexpr int kTextX = 46;
constexpr int kTitleY = 2, kTitleHeight = 14;
constexpr int kLineY = 17, kLineHeight = 11;
constexpr int kSourceColumnWidth = 275;
constexpr int kDestinationX = 301;
constexpr int kCopiesX = 236, kCopiesLabelY = 7, kCopiesCountY = 20;
constexpr int kCountWidth = 26, kCountHeight = 22;
constexpr int kUpDownWidth = 30, kUpDownHeight = 18;
constexpr int kUnusableNameY = 9, kUnusableLinkY = 27;

HANDLE AsHandle(UINT_PTR value) {
    return reinterpret_cast<HANDLE>(value);
}

UINT_PTR LinkState(HWND row) {
    return reinterpret_cast<UINT_PTR>(GetPropW(row, kPropLink));
}

void SetLinkState(HWND row, UINT_PTR state) {
    SetPropW(row, kPropLink, AsHandle(state));
}

HFONT PanelFont(HWND row, const wchar_t* property) {
    return static_cast<HFONT>(GetPropW(PanelOfRow(row), property));
}

std::wstring RootOf(char16_t letter) {
    return std::wstring{static_cast<wchar_t>(letter), L':', L'\\'};
}

// The shell's name for the drive, as an unusable row shows it.
std::u16string ShellName(char16_t letter) {
    SHFILEINFOW info{};
    if (SHGetFileInfoW(RootOf(letter).c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME) &&
        info.szDisplayName[0])
        return std::u16string(reinterpret_cast<const char16_t*>(info.szDisplayName));
    return FormatText(u"Drive (%C:)", {letter});
}

HICON DriveIcon(char16_t letter) {
    SHFILEINFOW info{};
    if (SHGetFileInfoW(RootOf(letter).c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_LARGEICON))
        return info.hIcon;
    return LoadOpticalDriveIcon(letter);
}

RECT Scaled(int x, int y, int width, int height) {
    return {ScaledX(x), ScaledY(y), ScaledX(x + width), ScaledY(y + height)};
}

// Where the details text of an unusable row is, measured in its font.
RECT LinkRect(HWND row) {
    ScopedWindowDC dc(row);
    ScopedSelect font(dc.get(), PanelFont(row, kDriveListFontRegular));
    SIZE size{};
    GetTextExtentPoint32W(dc.get(), Wide(kUnusableText),
                          static_cast<int>(std::char_traits<char16_t>::length(kUnusableText)),
                          &size);
    const int x = ScaledX(kTextX), y = ScaledY(kUnusableLinkY);
    return {x, y, x + size.cx, y + size.cy};
}

bool OverLink(HWND row, LPARAM lParam) {
    const std::optional<RowView> view = ViewOfRow(row);
    if (!view || view->record->usable())
        return false;
    const RECT link = LinkRect(row);
    const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return PtInRect(&link, point) != FALSE;
}

bool CursorOverLink(HWND row) {
    POINT cursor{};
    if (!GetCursorPos(&cursor) || !ScreenToClient(row, &cursor))
        return false;
    return OverLink(row, MAKELPARAM(cursor.x, cursor.y));
}

void DrawLine(HDC dc, HFONT font, const std::u16string& text, RECT rect, COLORREF colour,
              UINT flags = DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX) {
    ScopedSelect selected(dc, font);
    SetTextColor(dc, colour);
    DrawTextW(dc, Wide(text.c_str()), static_cast<int>(text.size()), &rect, flags);
}

// The destination column's line of text, word-wrapped and centred.
void DrawColumnText(HDC dc, HFONT font, const std::u16string& text, const RECT& column) {
    ScopedSelect selected(dc, font);
    RECT measured = column;
    const UINT flags = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
    DrawTextW(dc, Wide(text.c_str()), static_cast<int>(text.size()), &measured,
              flags | DT_CALCRECT);
    RECT placed = column;
    const int height = measured.bottom - measured.top;
    placed.top = column.top + std::max<LONG>(0, (column.bottom - column.top - height) / 2);
    SetTextColor(dc, kNoteColour);
    DrawTextW(dc, Wide(text.c_str()), static_cast<int>(text.size()), &placed, flags);
}

void DrawUsable(HWND row, HDC dc, const RowView& view, int width) {
    const DriveRecord& record = *view.record;
    const DriveRowTexts texts = RowTexts(record);
    const bool source = record.holdsSource();
    const int textRight = ScaledX(source ? kCopiesX - 4 : kSourceColumnWidth);
    const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
    RECT line{ScaledX(kTextX), ScaledY(kTitleY), textRight, ScaledY(kTitleY + kTitleHeight)};
    DrawLine(dc, PanelFont(row, kDriveListFontBold), texts.title, line, ink);
    HFONT small = PanelFont(row, kDriveListFontSmall);
    const std::u16string lines[] = {u"Reads: " + texts.reads, u"Writes: " + texts.writes,
                                    texts.currentDisc};
    for (int i = 0; i < 3; ++i) {
        const int top = kLineY + i * kLineHeight;
        line = {ScaledX(kTextX), ScaledY(top), textRight, ScaledY(top + kLineHeight)};
        DrawLine(dc, small, lines[i], line, ink);
    }
    if (source) {
        DrawLine(dc, small, u"Copies:", Scaled(kCopiesX, kCopiesLabelY, 60, kLineHeight), ink);
        DrawLine(dc, PanelFont(row, kDriveListFontLarge), FormatText(u"%d", {record.copies}),
                 Scaled(kCopiesX, kCopiesCountY, kCountWidth, kCountHeight), ink,
                 DT_SINGLELINE | DT_RIGHT | DT_NOPREFIX);
    }
    const RowDestination& column = *view.destination;
    if (column.kind == DestinationKind::NotApplicable ||
        column.kind == DestinationKind::NoCapableDrive) {
        const RECT area{ScaledX(kDestinationX), ScaledY(2), width - ScaledX(4), ScaledY(55 - 2)};
        DrawColumnText(dc, small, column.text, area);
    }
}

void DrawUnusable(HWND row, HDC dc, char16_t letter) {
    RECT name = Scaled(kTextX, kUnusableNameY, kSourceColumnWidth - kTextX, kTitleHeight);
    DrawLine(dc, PanelFont(row, kDriveListFontBold), ShellName(letter), name,
             GetSysColor(COLOR_WINDOWTEXT));
    const bool hot = (LinkState(row) & kLinkHot) || GetFocus() == row;
    const RECT link = LinkRect(row);
    DrawLine(dc, PanelFont(row, kDriveListFontRegular), kUnusableText, link,
             hot ? kLinkHotColour : kLinkColour, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    if (hot) {
        ScopedGdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, kLinkHotColour));
        ScopedSelect selected(dc, pen.get());
        MoveToEx(dc, link.left, link.bottom - 1, nullptr);
        LineTo(dc, link.right, link.bottom - 1);
    }
}

void Paint(HWND row) {
    ScopedPaint paint(row);
    RECT client{};
    GetClientRect(row, &client);
    MemoryCanvas canvas(paint.get(), client.right, client.bottom);
    if (!canvas)
        return;
    HDC dc = canvas.get();
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    if (HICON icon = static_cast<HICON>(GetPropW(row, kPropIcon)))
        DrawIconEx(dc, ScaledX(kIconX), ScaledY(kIconY), icon, ScaledX(kIconSize),
                   ScaledY(kIconSize), 0, nullptr, DI_NORMAL);
    if (const std::optional<RowView> view = ViewOfRow(row)) {
        if (view->record->usable())
            DrawUsable(row, dc, *view, client.right);
        else
            DrawUnusable(row, dc, view->record->letter);
    }
    if (GetFocus() == row) {
        RECT focus = client;
        InflateRect(&focus, -1, -1);
        DrawFocusRect(dc, &focus);
    }
    canvas.CopyTo(paint.get());
}

void ShowDetails(HWND row) {
    const std::optional<RowView> view = ViewOfRow(row);
    if (!view || view->record->usable())
        return;
    const std::u16string details = ProbeDetails(view->record->probe);
    ShowMessage(GetAncestor(row, GA_ROOT), Wide(details.c_str()), MB_OK | MB_ICONWARNING);
}

// The copies control of a row that holds a source: 1..99, one step a click.
HWND CreateCopiesControl(HWND row, int copies) {
    const RECT at =
        Scaled(kCopiesX + kCountWidth + 4, kCopiesCountY + 2, kUpDownWidth, kUpDownHeight);
    HWND control =
        CreateWindowExW(0, UPDOWN_CLASSW, nullptr, WS_CHILD | WS_VISIBLE | UDS_HORZ | UDS_ARROWKEYS,
                        at.left, at.top, at.right - at.left, at.bottom - at.top, row, nullptr,
                        GetModuleHandleW(nullptr), nullptr);
    if (!control)
        return nullptr;
    SendMessageW(control, UDM_SETRANGE32, kMinCopies, kMaxCopies);
    SendMessageW(control, UDM_SETPOS32, 0, copies);
    UDACCEL step{0, 1};
    SendMessageW(control, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&step));
    ForwardMouseMovesToRow(control);
    return control;
}

void FitCopiesControl(HWND row, const DriveRecord& record) {
    HWND control = static_cast<HWND>(GetPropW(row, kPropCopies));
    if (record.holdsSource() && !control) {
        control = CreateCopiesControl(row, record.copies);
        SetPropW(row, kPropCopies, control);
    } else if (!record.holdsSource() && control) {
        DestroyWindow(control);
        RemovePropW(row, kPropCopies);
        control = nullptr;
    }
    if (control)
        SendMessageW(control, UDM_SETPOS32, 0, record.copies);
}

void FitDestination(HWND row, const RowDestination& column) {
    HWND pager = static_cast<HWND>(GetPropW(row, kPropStrip));
    if (column.kind != DestinationKind::Destinations) {
        if (pager)
            DestroyWindow(pager);
        RemovePropW(row, kPropStrip);
        return;
    }
    RECT client{};
    GetClientRect(row, &client);
    const RECT area{ScaledX(kDestinationX), 0, client.right - ScaledX(4), client.bottom};
    pager = ShowDestinations(row, pager, area, column.destinations);
    SetPropW(row, kPropStrip, pager);
}

void OnCreate(HWND row, const CREATESTRUCTW* create) {
    const auto letter = static_cast<char16_t>(reinterpret_cast<UINT_PTR>(create->lpCreateParams));
    SetPropW(row, kPropLetter, AsHandle(letter));
    SetPropW(row, kPropIcon, DriveIcon(letter));
    UpdateDriveRow(row);
}

void OnDestroy(HWND row) {
    if (HICON icon = static_cast<HICON>(GetPropW(row, kPropIcon)))
        DestroyIcon(icon);
    for (const wchar_t* name : {kPropLetter, kPropCopies, kPropStrip, kPropIcon, kPropLink})
        RemovePropW(row, name);
}

void OnMouseMove(HWND row, LPARAM lParam) {
    const UINT_PTR state = LinkState(row);
    UINT_PTR next = OverLink(row, lParam) ? state | kLinkHot : state & ~kLinkHot;
    if (!(next & kLinkTracking)) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, row, 0};
        if (TrackMouseEvent(&track))
            next |= kLinkTracking;
    }
    SetLinkState(row, next);
    if ((next ^ state) & kLinkHot)
        InvalidateRect(row, nullptr, FALSE);
}

void OnButtonUp(HWND row, LPARAM lParam) {
    const UINT_PTR state = LinkState(row);
    SetLinkState(row, state & ~kLinkPressed);
    if ((state & kLinkPressed) && OverLink(row, lParam))
        ShowDetails(row);
}

// The keys of the list act when they are released.
void OnKeyUp(HWND row, WPARAM key) {
    const std::optional<RowView> view = ViewOfRow(row);
    switch (key) {
        case VK_UP:
            return MoveRowFocus(row, FocusKey::Up);
        case VK_DOWN:
            return MoveRowFocus(row, FocusKey::Down);
        case VK_PRIOR:
            return MoveRowFocus(row, FocusKey::PageUp);
        case VK_NEXT:
            return MoveRowFocus(row, FocusKey::PageDown);
        case VK_HOME:
            return MoveRowFocus(row, FocusKey::Home);
        case VK_END:
            return MoveRowFocus(row, FocusKey::End);
        case VK_LEFT:
        case VK_RIGHT:
            if (view && view->record->holdsSource())
                StepRowCopies(row, key == VK_RIGHT ? +1 : -1);
            return;
        case VK_RETURN:
            if (view && !view->record->usable())
                ShowDetails(row);
            return;
        default:
            return;
    }
}

// Arrows always; Enter only where it opens the details, else it stays the
// dialog's (Next).
LRESULT DialogCode(HWND row, LPARAM lParam) {
    LRESULT code = DLGC_WANTARROWS;
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (message && message->wParam == VK_RETURN &&
        (message->message == WM_KEYDOWN || message->message == WM_KEYUP)) {
        const std::optional<RowView> view = ViewOfRow(row);
        if (view && !view->record->usable())
            code |= DLGC_WANTMESSAGE;
    }
    return code;
}

// The row keeps itself in view when it gets the focus.
void OnSetFocus(HWND row) {
    HWND panel = PanelOfRow(row);
    SetFocusedPanelRow(panel, row);
    ScrollRowIntoView(panel, row);
    InvalidateRect(row, nullptr, FALSE);
}

LRESULT OnNotify(HWND row, const NMHDR* header) {
    if (header->code == UDN_DELTAPOS) {
        const auto* change = reinterpret_cast<const NMUPDOWN*>(header);
        StepRowCopies(row, change->iDelta > 0 ? +1 : -1);
        PostMessageW(row, WM_FOCUSROW, 0, 0);
        return TRUE;  // the row sets the control's position itself
    }
    return AnswerStripNotification(header);
}

LRESULT CALLBACK DriveRowProc(HWND row, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
            case WM_CREATE:
                OnCreate(row, reinterpret_cast<const CREATESTRUCTW*>(lParam));
                return 0;
            case WM_DESTROY:
                OnDestroy(row);
                return 0;
            case WM_ERASEBKGND:
                return 1;
            case WM_PAINT:
                Paint(row);
                return 0;
            case WM_MOUSEMOVE:
                OnMouseMove(row, lParam);
                return 0;
            case WM_MOUSELEAVE:
                SetLinkState(row, 0);
                InvalidateRect(row, nullptr, FALSE);
                return 0;
            case WM_LBUTTONDOWN:
                SetFocus(row);
                if (OverLink(row, lParam))
                    SetLinkState(row, LinkState(row) | kLinkPressed);
                return 0;
            case WM_LBUTTONUP:
                OnButtonUp(row, lParam);
                return 0;
            case WM_SETCURSOR:
                if (LOWORD(lParam) == HTCLIENT && CursorOverLink(row)) {
                    SetCursor(
                        static_cast<HCURSOR>(GetPropW(PanelOfRow(row), kDriveListHandCursor)));
                    return TRUE;
                }
                break;
            case WM_GETDLGCODE:
                return DialogCode(row, lParam);
            case WM_KEYUP:
                OnKeyUp(row, wParam);
                return 0;
            case WM_SETFOCUS:
                OnSetFocus(row);
                return 0;
            case WM_KILLFOCUS:
                InvalidateRect(row, nullptr, FALSE);
                return 0;
            case WM_NOTIFY:
                return OnNotify(row, reinterpret_cast<const NMHDR*>(lParam));
            case WM_FOCUSROW:
                SetFocus(row);
                return 0;
            default:
                break;
        }
    } catch (...) {
        return 0;
    }
    return DefWindowProcW(row, message, wParam, lParam);
}

}  // namespace

void RegisterDriveRowClasses() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DriveRowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kDriveRowClass;
    RegisterClassW(&wc);
    RegisterDestinationStripClass();
}

char16_t DriveRowLetter(HWND row) {
    return static_cast<char16_t>(reinterpret_cast<UINT_PTR>(GetPropW(row, kPropLetter)));
}

void UpdateDriveRow(HWND row) {
    const std::optional<RowView> view = ViewOfRow(row);
    if (!view)
        return;
    FitCopiesControl(row, *view->record);
    FitDestination(row, *view->destination);
    const std::u16string text =
        DescribeRow(*view->record, *view->destination, ShellName(view->record->letter));
    SetWindowTextW(row, Wide(text.c_str()));
    InvalidateRect(row, nullptr, FALSE);
}

}  // namespace vestrel::wizard
