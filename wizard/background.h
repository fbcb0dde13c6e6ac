// The background buffer: one picture of the frame's client area with its
// gradient, from which every page and control copies its own rectangle so
// that the wizard looks like one painted surface.
#pragma once

#include <windows.h>

namespace vestrel::wizard {

// The frame's WM_ERASEBKGND: builds the buffer afresh at the client size
// and paints it on `eraseDC`.
void RebuildBackground(HWND frame, HDC eraseDC);

// The WM_FILLBACKGROUND rule: copies `child`'s rectangle of the buffer
// (child anywhere below the frame) into `target` at 0,0.
void CopyBackground(HDC target, HWND child);

// Frees the buffer; the entry point's last step.
void ReleaseBackground();

}  // namespace vestrel::wizard
