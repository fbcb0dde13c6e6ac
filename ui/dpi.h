// Dots-per-inch scaling of the wizard's pixel constants (all stated at 96
// dots per inch) and the Tahoma fonts every window uses.
#pragma once

#include <windows.h>

namespace vestrel {

// The screen's dots per inch, asked of the screen DC on every call (it is
// taken and released at once), unless tests have set an override.
int ScreenDpiX();
int ScreenDpiY();
// Tests fake a screen: non-zero values replace the screen's; 0, 0 undoes.
void OverrideScreenDpi(int dpiX, int dpiY);

// MulDiv(value, screen dpi, 96) in each direction.
int ScaledX(int value);
int ScaledY(int value);

// −MulDiv(points, LOGPIXELSY of dc, 72).
int FontHeight(int points, HDC dc);

// Tahoma, DEFAULT_CHARSET, CLEARTYPE_QUALITY, of `points` on `dc` (the
// screen when null). The caller deletes it.
HFONT CreateTahomaFont(HDC dc, int points, int weight, bool underline = false);

}  // namespace vestrel
