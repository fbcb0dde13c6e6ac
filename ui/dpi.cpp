#include "ui/dpi.h"

#include "ui/scaling.h"

namespace vestrel {

namespace {

int overrideX = 0;
int overrideY = 0;

int ScreenCaps(int index) {
    HDC screen = GetDC(nullptr);
    if (!screen)
        return 96;
    const int value = GetDeviceCaps(screen, index);
    ReleaseDC(nullptr, screen);
    return value > 0 ? value : 96;
}

}  // namespace

int ScreenDpiX() {
    return overrideX ? overrideX : ScreenCaps(LOGPIXELSX);
}
int ScreenDpiY() {
    return overrideY ? overrideY : ScreenCaps(LOGPIXELSY);
}

void OverrideScreenDpi(int dpiX, int dpiY) {
    overrideX = dpiX;
    overrideY = dpiY;
}

int ScaledX(int value) {
    return ScaleForDpi(value, ScreenDpiX());
}
int ScaledY(int value) {
    return ScaleForDpi(value, ScreenDpiY());
}

int FontHeight(int points, HDC dc) {
    return -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
}

HFONT CreateTahomaFont(HDC dc, int points, int weight, bool underline) {
    const int height = dc ? FontHeight(points, dc) : -MulDiv(points, ScreenDpiY(), 72);
    return CreateFontW(height, 0, 0, 0, weight, FALSE, underline ? TRUE : FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
}

}  // namespace vestrel
