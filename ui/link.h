// The link control: underlined-when-hot text on the frame's background that
// clicks like a button. A click arrives at the parent as WM_COMMAND with
// MAKEWPARAM(id, 0) and the link window as lParam, from the mouse (press
// and release on the link) or from Enter or Space while it has the focus.
#pragma once

#include <windows.h>

namespace vestrel {

inline constexpr wchar_t kLinkClass[] = L"l0";
inline constexpr COLORREF kLinkColour = RGB(0, 83, 166);
inline constexpr COLORREF kLinkHotColour = RGB(53, 154, 255);

// Registers the class; repeated registrations fail harmlessly.
void RegisterLinkClass();

// A visible, tab-stop link sized to its text, at x, y of `parent`. `points`
// 0 means 8. Registers the class first.
HWND CreateLink(HWND parent, int x, int y, const wchar_t* text, int id, bool bold = false,
                int points = 0);

// Is the link drawn hot (hovered or focused)?
bool LinkIsHot(HWND link);

// Invalidates every link that is a direct child of `window`, so that they
// repaint their background after the window moved or repainted.
void InvalidateLinks(HWND window);

}  // namespace vestrel
