// The About box (dialog 2101): the program's icon, its name with a shadow,
// the version, the web link and where the icons come from.
#pragma once

#include <windows.h>

namespace vestrel {

// Shows the box modally, owned by `owner`; returns when it is closed.
void ShowAboutBox(HWND owner);

INT_PTR CALLBACK AboutBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vestrel
