#include "ui/scaling.h"

#include <array>
#include <cstdint>

namespace vestrel {

namespace {

// The first of an icon's sizes (its base, 125%, 150%, 200%) that holds
// `scaledSize`; the largest when none does.
int SnapTo(int scaledSize, const std::array<int, 4>& sizes) {
    for (int size : sizes) {
        if (scaledSize <= size)
            return size;
    }
    return sizes.back();
}

}  // namespace

int ScaleForDpi(int value, int dpi) {
    if (dpi <= 0)
        return value;
    const int64_t product = static_cast<int64_t>(value) * dpi;
    // Round halves away from zero, as MulDiv does.
    const int64_t rounded = product >= 0 ? (product + 48) / 96 : (product - 48) / 96;
    return static_cast<int>(rounded);
}

int SnapIconSize(int scaledSize, int baseSize) {
    if (baseSize == 20)
        return SnapTo(scaledSize, {20, 25, 30, 40});
    if (baseSize == 48)
        return SnapTo(scaledSize, {48, 60, 72, 96});
    return scaledSize;
}

}  // namespace vestrel
