#include "ui/button_images.h"

#include <commctrl.h>

#include <initializer_list>

#include "ui/dpi.h"
#include "ui/icons.h"

namespace vestrel {

namespace {

// A button's own image list, if any; Wine and Windows answer an empty
// record for a button without one.
HIMAGELIST ButtonImageList(HWND button) {
    BUTTON_IMAGELIST images{};
    if (!SendMessageW(button, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&images)))
        return nullptr;
    return images.himl;
}

}  // namespace

bool SetButtonIcons(HWND button, int normalId, int disabledId, int placement) {
    HICON normal = LoadSizedIcon(normalId, 20);
    HICON disabled = disabledId ? LoadSizedIcon(disabledId, 20) : nullptr;
    if (!normal || (disabledId && !disabled))
        return false;
    HIMAGELIST list = ImageList_Create(ScaledX(20), ScaledY(20), ILC_COLOR32 | ILC_MASK, 0, 1);
    if (!list)
        return false;
    if (disabled) {
        // One image per push-button state in state order: normal, hot,
        // pressed, disabled, defaulted, stylus-hot.
        for (HICON icon : {normal, normal, normal, disabled, normal, normal})
            ImageList_AddIcon(list, icon);
    } else {
        ImageList_AddIcon(list, normal);
    }
    // The icons are shared (LoadSizedIcon): the image list holds copies.
    BUTTON_IMAGELIST images{};
    images.himl = list;
    images.margin.top = ScaledX(1);
    if (placement < 0) {
        images.margin.left = ScaledX(5);
        images.uAlign = BUTTON_IMAGELIST_ALIGN_LEFT;
    } else if (placement > 0) {
        images.margin.right = ScaledX(5);
        images.uAlign = BUTTON_IMAGELIST_ALIGN_RIGHT;
    } else {
        images.uAlign = BUTTON_IMAGELIST_ALIGN_CENTER;
    }
    HIMAGELIST previous = ButtonImageList(button);
    if (!SendMessageW(button, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&images))) {
        ImageList_Destroy(list);
        return false;
    }
    if (previous && previous != list)
        ImageList_Destroy(previous);
    return true;
}

void RemoveButtonIcons(HWND button) {
    HIMAGELIST list = ButtonImageList(button);
    if (!list)
        return;
    // The button lets go of the list before it is destroyed, so it never
    // draws from a freed list.
    BUTTON_IMAGELIST none{};
    SendMessageW(button, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&none));
    ImageList_Destroy(list);
}

}  // namespace vestrel
