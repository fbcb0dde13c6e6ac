#include "wizard/background.h"

#include "ui/gradient_fill.h"

namespace vestrel::wizard {

namespace {

struct BackgroundBuffer {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ displaced = nullptr;
};

BackgroundBuffer& Buffer() {
    static BackgroundBuffer buffer;
    return buffer;
}

uint16_t Wide8(BYTE channel) {
    return static_cast<uint16_t>(channel << 8);
}

}  // namespace

void ReleaseBackground() {
    BackgroundBuffer& b = Buffer();
    if (b.dc) {
        SelectObject(b.dc, b.displaced);
        DeleteDC(b.dc);
    }
    if (b.bitmap)
        DeleteObject(b.bitmap);
    b = {};
}

void RebuildBackground(HWND frame, HDC eraseDC) {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    RECT client{};
    GetClientRect(frame, &client);
    ReleaseBackground();
    BackgroundBuffer& b = Buffer();
    b.dc = CreateCompatibleDC(nullptr);
    b.bitmap = CreateCompatibleBitmap(eraseDC, client.right, client.bottom);
    if (!b.dc || !b.bitmap) {
        ReleaseBackground();
        return;
    }
    b.displaced = SelectObject(b.dc, b.bitmap);
    const Color16 white{0xFF00, 0xFF00, 0xFF00};
    const Color16 right{Wide8(GetRValue(face)), Wide8(GetGValue(face)), Wide8(GetBValue(face))};
    FillGradient(b.dc, client, white, right);
    BitBlt(eraseDC, 0, 0, client.right, client.bottom, b.dc, 0, 0, SRCCOPY);
}

void CopyBackground(HDC target, HWND child) {
    const BackgroundBuffer& b = Buffer();
    HWND frame = GetAncestor(child, GA_ROOT);
    if (!b.dc || !frame || !target)
        return;
    RECT rect{};
    GetWindowRect(child, &rect);
    POINT origin{0, 0};
    ClientToScreen(frame, &origin);
    BitBlt(target, 0, 0, rect.right - rect.left, rect.bottom - rect.top, b.dc, rect.left - origin.x,
           rect.top - origin.y, SRCCOPY);
}

}  // namespace vestrel::wizard
