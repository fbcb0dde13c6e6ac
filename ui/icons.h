// The program's icons at the standard sizes for the screen's dpi.
#pragma once

#include <windows.h>

namespace vestrel {

// Icon group `id` of the program at scaledX(base) × scaledY(base), snapped
// to the group's sizes for base 20 (20, 25, 30, 40) and 48 (48, 60, 72, 96).
// The handle is shared (LR_SHARED): it stays valid for the process and is
// never destroyed; null when the group is missing.
HICON LoadSizedIcon(int id, int baseSize);

// Width and height of an icon's own image (its colour bitmap, else its
// mask); 0, 0 for a null or broken icon.
SIZE IconImageSize(HICON icon);

}  // namespace vestrel
