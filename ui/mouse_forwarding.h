// Rows see the mouse through their child controls as if the children were
// transparent: the children's mouse messages are mapped to the row (their
// parent) and sent to it.
#pragma once

#include <windows.h>

namespace vestrel {

// Drive rows: mouse moves go to the row, and the row hears WM_MOUSELEAVE
// when the mouse leaves the child. A comctl32 window subclass.
void ForwardMouseMovesToRow(HWND child);

// Progress panels: moves and left-button presses and releases go to the
// panel; WM_MOUSELEAVE reaches the panel only when the cursor has left
// the panel too. Each child keeps its own previous procedure ("_H").
void ForwardMouseToPanel(HWND child);

}  // namespace vestrel
