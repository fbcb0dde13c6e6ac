// An SS_ICON static that draws its icon over the frame's background instead
// of a solid brush.
#pragma once

#include <windows.h>

namespace vestrel {

// Subclasses `iconStatic`; STM_SETICON then keeps the icon (in "_I") and
// returns 100, STM_GETICON returns it. The static does not own the icon:
// the program's icons are shared (LoadSizedIcon) and never destroyed.
void SubclassTransparentIconStatic(HWND iconStatic);

LRESULT CALLBACK TransparentIconStaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vestrel
