#include "ui/mouse_forwarding.h"

#include <commctrl.h>

namespace vestrel {

namespace {

constexpr UINT_PTR kRowSubclassId = 1;
constexpr wchar_t kPreviousProcedure[] = L"_H";

// The child's point in its parent's coordinates, packed as in lParam.
LPARAM PointInParent(HWND child, LPARAM lParam) {
    POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    MapWindowPoints(child, GetParent(child), &point, 1);
    return MAKELPARAM(point.x, point.y);
}

void ArmLeaveTracking(HWND child) {
    if (GetWindowLongPtrW(child, GWLP_USERDATA))
        return;
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, child, 0};
    if (TrackMouseEvent(&track))
        SetWindowLongPtrW(child, GWLP_USERDATA, 1);
}

LRESULT CALLBACK RowChildProc(HWND child, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                              DWORD_PTR) {
    switch (message) {
        case WM_MOUSEMOVE:
            SendMessageW(GetParent(child), WM_MOUSEMOVE, wParam, PointInParent(child, lParam));
            ArmLeaveTracking(child);
            break;
        case WM_MOUSELEAVE:
            SetWindowLongPtrW(child, GWLP_USERDATA, 0);
            SendMessageW(GetParent(child), WM_MOUSELEAVE, 0, 0);
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(child, RowChildProc, id);
            break;
        default:
            break;
    }
    return DefSubclassProc(child, message, wParam, lParam);
}

bool CursorInClient(HWND window) {
    POINT cursor;
    RECT client;
    if (!GetCursorPos(&cursor) || !GetClientRect(window, &client))
        return false;
    ScreenToClient(window, &cursor);
    return PtInRect(&client, cursor) != FALSE;
}

LRESULT CALLBACK PanelChildProc(HWND child, UINT message, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(GetPropW(child, kPreviousProcedure));
    HWND panel = GetParent(child);
    switch (message) {
        case WM_MOUSEMOVE:
            SendMessageW(panel, message, wParam, PointInParent(child, lParam));
            ArmLeaveTracking(child);
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            SendMessageW(panel, message, wParam, PointInParent(child, lParam));
            break;
        case WM_MOUSELEAVE:
            SetWindowLongPtrW(child, GWLP_USERDATA, 0);
            if (!CursorInClient(panel))
                SendMessageW(panel, WM_MOUSELEAVE, 0, 0);
            break;
        case WM_NCDESTROY:
            SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
            RemovePropW(child, kPreviousProcedure);
            break;
        default:
            break;
    }
    return previous ? CallWindowProcW(previous, child, message, wParam, lParam)
                    : DefWindowProcW(child, message, wParam, lParam);
}

}  // namespace

void ForwardMouseMovesToRow(HWND child) {
    SetWindowSubclass(child, RowChildProc, kRowSubclassId, 0);
}

void ForwardMouseToPanel(HWND child) {
    if (GetPropW(child, kPreviousProcedure))
        return;  // already forwarding
    const LONG_PTR previous =
        SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PanelChildProc));
    SetPropW(child, kPreviousProcedure, reinterpret_cast<HANDLE>(previous));
}

}  // namespace vestrel
