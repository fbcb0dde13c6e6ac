#include "ui/icon_static.h"

#include <algorithm>

#include "ui/gdi.h"
#include "ui/icons.h"
#include "ui/painting.h"

namespace vestrel {

namespace {

constexpr wchar_t kIcon[] = L"_I";

// The standard static procedure, read once from the first static's class.
WNDPROC staticProcedure = nullptr;

void Paint(HWND window) {
    ScopedPaint paint(window);
    RECT client;
    GetClientRect(window, &client);
    MemoryCanvas canvas(paint.get(), client.right, client.bottom);
    if (!canvas)
        return;
    FillFromParentBackground(window, canvas.get());
    HICON icon = static_cast<HICON>(GetPropW(window, kIcon));
    const SIZE size = IconImageSize(icon);
    if (icon && size.cx > 0)
        DrawIconEx(canvas.get(), 0, 0, icon, size.cx, size.cy, 0, nullptr, DI_NORMAL);
    canvas.CopyTo(paint.get(), 0, 0, std::min<LONG>(size.cx, client.right),
                  std::min<LONG>(size.cy, client.bottom));
}

}  // namespace

void SubclassTransparentIconStatic(HWND iconStatic) {
    if (!staticProcedure)
        staticProcedure = reinterpret_cast<WNDPROC>(GetClassLongPtrW(iconStatic, GCLP_WNDPROC));
    SetWindowLongPtrW(iconStatic, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(&TransparentIconStaticProc));
}

LRESULT CALLBACK TransparentIconStaticProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    switch (message) {
        case STM_SETICON:
            SetPropW(window, kIcon, reinterpret_cast<HANDLE>(wParam));
            InvalidateRect(window, nullptr, FALSE);
            return 100;
        case STM_GETICON:
            return reinterpret_cast<LRESULT>(GetPropW(window, kIcon));
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            Paint(window);
            return 0;
        case WM_DESTROY:
            // The icons are shared (LoadSizedIcon) and stay the system's.
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(staticProcedure));
            RemovePropW(window, kIcon);
            break;
        default:
            break;
    }
    return CallWindowProcW(staticProcedure, window, message, wParam, lParam);
}

}  // namespace vestrel
