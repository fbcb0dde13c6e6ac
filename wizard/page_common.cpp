#include "wizard/pages.h"

#include "resources/resource_ids.h"
#include "ui/dpi.h"
#include "ui/messages.h"
#include "ui/painting.h"
#include "wizard/background.h"
#include "wizard/frame_state.h"
#include "wizard/page_layout.h"
#include "wizard/page_table.h"

namespace vestrel::wizard {

namespace {

DLGPROC ProcedureOf(int index) {
    switch (index) {
        case kRemoveDiscsPage:
            return RemoveDiscsPageProc;
        case kSelectDrivesPage:
            return SelectDrivesPageProc;
        case kReadingPage:
            return ReadingPageProc;
        case kWritingPage:
            return WritingPageProc;
        case kFinishPage:
            return FinishPageProc;
        default:
            return WelcomePageProc;
    }
}

RECT RectIn(HWND window, HWND frame) {
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

HWND CreatePage(HWND frame, int index) {
    return CreateDialogParamW(Process().instance, MAKEINTRESOURCEW(PageAt(index).dialogId), frame,
                              ProcedureOf(index), 0);
}

bool HandlePageBackground(HWND page, UINT message, WPARAM wParam, LPARAM lParam, unsigned flags,
                          HWND ownColours, INT_PTR& result) {
    switch (message) {
        case WM_ERASEBKGND:
            FillFromFrameBackground(page, reinterpret_cast<HDC>(wParam));
            result = TRUE;
            SetWindowLongPtrW(page, DWLP_MSGRESULT, 1);
            return true;
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            HWND control = reinterpret_cast<HWND>(lParam);
            if (ownColours && control == ownColours)
                return false;
            if (flags & kFillStatics)
                SendMessageW(page, WM_FILLBACKGROUND, wParam, lParam);
            SetBkMode(dc, TRANSPARENT);
            result = reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
            return true;
        }
        default:
            if (message == WM_FILLBACKGROUND && (flags & kAnswerFillBackground)) {
                CopyBackground(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
                SetWindowLongPtrW(page, DWLP_MSGRESULT, 0);
                result = TRUE;
                return true;
            }
            return false;
    }
}

RECT PanelRectOnPage(HWND page, HWND reference, int rowHeight) {
    HWND frame = GetParent(page);
    RECT referenceRect{};
    GetWindowRect(reference, &referenceRect);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&referenceRect), 2);
    const RECT pageRect = RectIn(page, frame);
    const RECT exitRect = RectIn(GetDlgItem(frame, IDC_EXIT), frame);
    const RECT sideRect = RectIn(GetDlgItem(frame, IDC_SIDE_PANEL), frame);
    const PanelPlacement p = PanelOnPage(ScaledY(rowHeight), referenceRect.left, pageRect.left,
                                         pageRect.top, exitRect.right, sideRect.bottom);
    return {p.x, p.y, p.x + p.width, p.y + p.height};
}

}  // namespace vestrel::wizard
