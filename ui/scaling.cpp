#include "ui/scaling.h"

#include <cstdint>

namespace vestrel {

int ScaleForDpi(int value, int dpi) {
    if (dpi <= 0)
        return value;
    const int64_t product = static_cast<int64_t>(value) * dpi;
    // Round halves away from zero, as MulDiv does.
    const int64_t rounded = product >= 0 ? (product + 48) / 96 : (product - 48) / 96;
    return static_cast<int>(rounded);
}

int SnapIconSize(int scaledSize, int baseSize) {
    if (baseSize == 20) {
        if (scaledSize <= 20)
            return 20;
        if (scaledSize <= 25)
            return 25;
        if (scaledSize <= 30)
            return 30;
        return 40;
    }
    if (baseSize == 48) {
        if (scaledSize <= 48)
            return 48;
        if (scaledSize <= 60)
            return 60;
        if (scaledSize <= 72)
            return 72;
        return 96;
    }
    return scaledSize;
}

}  // namespace vestrel
