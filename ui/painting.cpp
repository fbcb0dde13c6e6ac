#include "ui/painting.h"

#include <vector>

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

RECT ChildRect(HWND parent, int id) {
    RECT rect{};
    GetWindowRect(GetDlgItem(parent, id), &rect);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void DrawMeasuredText(HDC dc, int x, int y, const wchar_t* text) {
    const int length = lstrlenW(text);
    if (length == 0)
        return;
    std::vector<int> ends(static_cast<size_t>(length));
    SIZE size{};
    if (!GetTextExtentExPointW(dc, text, length, 0, nullptr, ends.data(), &size)) {
        TextOutW(dc, x, y, text, length);
        return;
    }
    for (int i = length - 1; i > 0; --i)
        ends[static_cast<size_t>(i)] -= ends[static_cast<size_t>(i - 1)];
    ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(length), ends.data());
}

}  // namespace vestrel
