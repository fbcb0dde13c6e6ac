// The frame's dithered horizontal gradient on a DC, through one cached
// 32-bit DIB section that grows to the largest size asked and never
// shrinks, so repeated erasing allocates nothing.
#pragma once

#include <windows.h>

#include "ui/gradient.h"

namespace vestrel {

// Start-up: fills the dither table from rand() (already seeded) and empties
// the bitmap cache.
void InitGradientFill();
// Exit: deletes the cached bitmap.
void DeleteGradientCache();

// Fills `rect` of `dc` from `left` to `right`. Draws nothing for a width or
// height outside 1..4096. Returns 1 (the fill's answer is fixed).
int FillGradient(HDC dc, const RECT& rect, Color16 left, Color16 right);

}  // namespace vestrel
