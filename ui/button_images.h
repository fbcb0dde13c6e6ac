// Icons on push buttons through button image lists.
#pragma once

#include <windows.h>

namespace vestrel {

// Gives `button` an image list of icon `normalId` at 20 dip (and
// `disabledId` for the disabled state when non-zero), placed left of the
// text for placement < 0, right of it for > 0, centred for 0. An image
// list the button had is destroyed. False when the icons cannot be loaded.
bool SetButtonIcons(HWND button, int normalId, int disabledId, int placement);

// Takes the button's image list off and destroys it.
void RemoveButtonIcons(HWND button);

}  // namespace vestrel
