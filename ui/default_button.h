#pragma once

#include <windows.h>

namespace vestrel {

// Gives the frame's Next button (3002) the default-button look when it
// lacks it.
void MakeNextDefault(HWND frame);

}  // namespace vestrel
