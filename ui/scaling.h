// Pixel arithmetic of the wizard's controls, free of the window system so
// that it is tested on every build: dots-per-inch scaling and the standard
// icon sizes.
#pragma once

namespace vestrel {

// value × dpi / 96 rounded to the nearest integer, halves away from zero,
// as MulDiv rounds. A dpi of 0 or less leaves the value as it is.
int ScaleForDpi(int value, int dpi);

// The icon size loaded for a scaled size: base 20 snaps to 20, 25, 30 or
// 40; base 48 to 48, 60, 72 or 96. Other bases are used as they are.
int SnapIconSize(int scaledSize, int baseSize);

}  // namespace vestrel
