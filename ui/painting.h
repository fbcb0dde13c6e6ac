// Painting helpers every window of the wizard shares.
#pragma once

#include <windows.h>

namespace vestrel {

inline constexpr COLORREF kFramePenColour = RGB(128, 128, 128);

// A 1-pixel frame of `pen` around 0,0 .. width,height, filled white unless
// the system's button face is itself white (then the inside is left alone).
void DrawBorderedRectangle(HDC dc, int width, int height, COLORREF pen);

// Fills `dc` (at 0,0) with `window`'s rectangle of the frame's background
// by asking its parent (WM_FILLBACKGROUND with dc and window).
void FillFromParentBackground(HWND window, HDC dc);
// The same, asked of the top-level ancestor (the frame) directly: for a
// window's own WM_ERASEBKGND.
void FillFromFrameBackground(HWND window, HDC dc);

// The rectangle of `parent`'s child `id` in the parent's client coordinates.
RECT ChildRect(HWND parent, int id);

// Draws one line of text at x,y with exactly the advances the font reports
// when measured, so that a control placed at the measured end touches the
// text. Wine draws its Tahoma narrower than it measures it.
void DrawMeasuredText(HDC dc, int x, int y, const wchar_t* text);

}  // namespace vestrel
