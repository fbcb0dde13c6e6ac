#include "ui/painting.h"

#include "ui/gdi.h"
#include "ui/messages.h"

namespace vestrel {

void DrawBorderedRectangle(HDC dc, int width, int height, COLORREF pen) {
    ScopedGdiObject<HPEN> framePen(CreatePen(PS_SOLID, 1, pen));
    ScopedGdiObject<HBRUSH> white(CreateSolidBrush(RGB(255, 255, 255)));
    const bool faceIsWhite = GetSysColor(COLOR_BTNFACE) == RGB(255, 255, 255);
    ScopedSelect selectPen(dc, framePen.get());
    ScopedSelect selectBrush(dc, faceIsWhite ? GetStockObject(NULL_BRUSH) : white.get());
    Rectangle(dc, 0, 0, width, height);
}

void FillFromParentBackground(HWND window, HDC dc) {
    if (HWND parent = GetParent(window))
        SendMessageW(parent, WM_FILLBACKGROUND, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(window));
}

void FillFromFrameBackground(HWND window, HDC dc) {
    if (HWND frame = GetAncestor(window, GA_ROOT); frame && frame != window)
        SendMessageW(frame, WM_FILLBACKGROUND, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(window));
}

}  // namespace vestrel
