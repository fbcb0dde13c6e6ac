#include "ui/link.h"

#include <cstdint>
#include <initializer_list>

#include "ui/dpi.h"
#include "ui/gdi.h"
#include "ui/painting.h"

namespace vestrel {

namespace {

// Window properties of a link.
constexpr wchar_t kArrowCursor[] = L"_0";
constexpr wchar_t kHandCursor[] = L"_1";
constexpr wchar_t kFont[] = L"_2";
constexpr wchar_t kNormalLook[] = L"_3";  // 1 normal, 0 hot
constexpr wchar_t kLeaveArmed[] = L"_4";
constexpr wchar_t kPressed[] = L"_5";
constexpr wchar_t kFocused[] = L"_6";

constexpr int kMaxTextLength = 512;

intptr_t Flag(HWND link, const wchar_t* name) {
    return reinterpret_cast<intptr_t>(GetPropW(link, name));
}

void SetFlag(HWND link, const wchar_t* name, intptr_t value) {
    SetPropW(link, name, reinterpret_cast<HANDLE>(value));
}

void Paint(HWND link, HDC target) {
    RECT client;
    GetClientRect(link, &client);
    MemoryCanvas canvas(target, client.right, client.bottom);
    if (!canvas)
        return;
    HDC dc = canvas.get();
    FillFromParentBackground(link, dc);
    const bool hot = Flag(link, kNormalLook) == 0;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, hot ? kLinkHotColour : kLinkColour);
    wchar_t text[kMaxTextLength + 1] = {};
    GetWindowTextW(link, text, kMaxTextLength + 1);
    {
        ScopedSelect font(dc, GetPropW(link, kFont));
        DrawMeasuredText(dc, 0, 0, text);
    }
    if (hot) {
        ScopedGdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, kLinkHotColour));
        ScopedSelect selectPen(dc, pen.get());
        MoveToEx(dc, 0, client.bottom - 1, nullptr);
        LineTo(dc, client.right, client.bottom - 1);
    }
    if (Flag(link, kFocused))
        DrawFocusRect(dc, &client);
    canvas.CopyTo(target);
}

void PaintNow(HWND link) {
    ScopedWindowDC dc(link);
    if (dc)
        Paint(link, dc.get());
}

// The look follows the state; a change is painted at once.
void SetLook(HWND link, bool normal) {
    if ((Flag(link, kNormalLook) != 0) == normal)
        return;
    SetFlag(link, kNormalLook, normal ? 1 : 0);
    PaintNow(link);
}

void Click(HWND link) {
    const int id = GetDlgCtrlID(link);
    SendMessageW(GetParent(link), WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(link));
}

LRESULT OnCreate(HWND link, const CREATESTRUCTW& create) {
    SetPropW(link, kArrowCursor, LoadCursorW(nullptr, IDC_ARROW));
    SetPropW(link, kHandCursor, LoadCursorW(nullptr, IDC_HAND));
    const auto parameters =
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(create.lpCreateParams));
    const bool bold = (parameters & 0xFFFF) != 0;
    const int points = (parameters >> 16) ? static_cast<int>(parameters >> 16) : 8;
    HFONT font;
    {
        ScopedWindowDC dc(link);
        font = CreateTahomaFont(dc.get(), points, bold ? FW_BOLD : FW_NORMAL);
    }
    SetPropW(link, kFont, font);

    wchar_t text[kMaxTextLength + 1] = {};
    const int length = GetWindowTextW(link, text, kMaxTextLength + 1);
    SIZE size{0, 0};
    {
        ScopedWindowDC screen(nullptr);
        MemoryCanvas measure(screen.get(), 3, 3);
        if (measure) {
            ScopedSelect selectFont(measure.get(), font);
            GetTextExtentPoint32W(measure.get(), text, length, &size);
        }
    }
    SetWindowPos(link, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetFlag(link, kNormalLook, 1);
    SetFlag(link, kLeaveArmed, 0);
    SetFlag(link, kPressed, 0);
    SetFlag(link, kFocused, 0);
    return 0;
}

void OnDestroy(HWND link) {
    // The cursors are the system's shared ones: nothing to free.
    if (HGDIOBJ font = GetPropW(link, kFont))
        DeleteObject(font);
    for (const wchar_t* name :
         {kArrowCursor, kHandCursor, kFont, kNormalLook, kLeaveArmed, kPressed, kFocused})
        RemovePropW(link, name);
}

void OnMouseMove(HWND link) {
    SetLook(link, false);
    SetCursor(static_cast<HCURSOR>(GetPropW(link, kHandCursor)));
    if (!Flag(link, kLeaveArmed)) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, link, 0};
        if (TrackMouseEvent(&track))
            SetFlag(link, kLeaveArmed, 1);
    }
}

LRESULT CALLBACK LinkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(link, *reinterpret_cast<const CREATESTRUCTW*>(lParam));
        case WM_DESTROY:
            OnDestroy(link);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            ScopedPaint paint(link);
            Paint(link, paint.get());
            return 0;
        }
        case WM_MOUSEMOVE:
            OnMouseMove(link);
            return 0;
        case WM_MOUSELEAVE:
            SetFlag(link, kLeaveArmed, 0);
            SetFlag(link, kPressed, 0);
            // A focused link stays hot.
            SetLook(link, Flag(link, kFocused) == 0);
            return 0;
        case WM_LBUTTONDOWN:
            SetFlag(link, kPressed, 1);
            return 0;
        case WM_LBUTTONUP:
            if (Flag(link, kPressed)) {
                SetFlag(link, kPressed, 0);
                Click(link);  // may destroy the link
            }
            return 0;
        case WM_KEYUP:
            if (wParam == VK_RETURN || wParam == VK_SPACE)
                Click(link);
            return 0;
        case WM_SETFOCUS:
            SetFlag(link, kFocused, 1);
            SetFlag(link, kNormalLook, 0);
            PaintNow(link);
            return 0;
        case WM_KILLFOCUS:
            SetFlag(link, kFocused, 0);
            SetFlag(link, kNormalLook, 1);
            PaintNow(link);
            return 0;
        case WM_SETTEXT: {
            const LRESULT result = DefWindowProcW(link, message, wParam, lParam);
            InvalidateRect(link, nullptr, FALSE);
            return result;
        }
        default:
            return DefWindowProcW(link, message, wParam, lParam);
    }
}

}  // namespace

void RegisterLinkClass() {
    WNDCLASSW wc{};
    wc.style = 0;
    wc.lpfnWndProc = LinkProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = nullptr;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kLinkClass;
    RegisterClassW(&wc);
}

HWND CreateLink(HWND parent, int x, int y, const wchar_t* text, int id, bool bold, int points) {
    RegisterLinkClass();
    const auto parameters = static_cast<uintptr_t>(MAKELONG(bold ? 1 : 0, points));
    return CreateWindowExW(0, kLinkClass, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP, x, y, 0, 0,
                           parent, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)),
                           GetModuleHandleW(nullptr), reinterpret_cast<void*>(parameters));
}

bool LinkIsHot(HWND link) {
    return GetPropW(link, kNormalLook) == nullptr;
}

void InvalidateLinks(HWND window) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[8] = {};
        if (GetClassNameW(child, name, 8) && lstrcmpW(name, kLinkClass) == 0)
            InvalidateRect(child, nullptr, FALSE);
    }
}

}  // namespace vestrel
