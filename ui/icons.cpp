#include "ui/icons.h"

#include "ui/dpi.h"
#include "ui/scaling.h"

namespace vestrel {

HICON LoadSizedIcon(int id, int baseSize) {
    const int width = SnapIconSize(ScaledX(baseSize), baseSize);
    const int height = SnapIconSize(ScaledY(baseSize), baseSize);
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                         IMAGE_ICON, width, height, LR_SHARED));
}

SIZE IconImageSize(HICON icon) {
    SIZE size{0, 0};
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info))
        return size;
    BITMAP bitmap{};
    if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap)) {
        size = {bitmap.bmWidth, bitmap.bmHeight};
    } else if (info.hbmMask && GetObjectW(info.hbmMask, sizeof bitmap, &bitmap)) {
        // A monochrome icon's mask holds the AND and XOR halves one above the other.
        size = {bitmap.bmWidth, bitmap.bmHeight / 2};
    }
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    return size;
}

}  // namespace vestrel
