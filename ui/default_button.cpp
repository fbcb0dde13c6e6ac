#include "ui/default_button.h"

#include "resources/resource_ids.h"

namespace vestrel {

void MakeNextDefault(HWND frame) {
    HWND next = GetDlgItem(frame, IDC_NEXT);
    if (!next)
        return;
    const LONG_PTR style = GetWindowLongPtrW(next, GWL_STYLE);
    if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
        return;
    SendMessageW(next, BM_SETSTYLE, (style & ~BS_TYPEMASK) | BS_DEFPUSHBUTTON, TRUE);
    InvalidateRect(next, nullptr, TRUE);
}

}  // namespace vestrel
