#include "wizard/pages.h"

#include "resources/resource_ids.h"
#include "ui/dpi.h"
#include "ui/gdi.h"
#include "ui/link.h"
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

RECT RectOnPage(HWND page, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Where the line's text goes, measured in the font selected into `dc`.
RECT LeadRect(HWND page, HDC dc, const InlineLink& line) {
    const RECT above = RectOnPage(page, GetDlgItem(page, line.aboveId));
    SIZE size{};
    GetTextExtentPoint32W(dc, line.lead, static_cast<int>(wcslen(line.lead)), &size);
    const int top = above.bottom + ScaledY(line.gap);
    return {above.left, top, above.left + size.cx, top + size.cy};
}

HWND MoveLinkAfter(HWND page, const InlineLink& line, const RECT& lead) {
    HWND link = GetDlgItem(page, line.linkId);
    SetWindowPos(link, nullptr, lead.right, lead.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return link;
}

void PlaceInlineLink(HWND page, const InlineLink& line) {
    ScopedWindowDC dc(page);
    if (!dc)
        return;
    ScopedGdiObject<HFONT> font(CreateTahomaFont(dc.get(), 8, FW_NORMAL));
    ScopedSelect selected(dc.get(), font.get());
    MoveLinkAfter(page, line, LeadRect(page, dc.get(), line));
}

void PaintInlineLink(HWND page, HDC dc, const InlineLink& line) {
    ScopedGdiObject<HFONT> font(CreateTahomaFont(dc, 8, FW_NORMAL));
    ScopedSelect selected(dc, font.get());
    SetBkMode(dc, TRANSPARENT);
    if (line.colour != CLR_INVALID)
        SetTextColor(dc, line.colour);
    RECT lead = LeadRect(page, dc, line);
    DrawMeasuredText(dc, lead.left, lead.top, line.lead);
    const RECT link = RectOnPage(page, MoveLinkAfter(page, line, lead));
    DrawMeasuredText(dc, link.right, lead.top, L".");
}

}  // namespace

void CreateInlineLink(HWND page, const InlineLink& line) {
    CreateLink(page, ScaledX(237), ScaledY(97), L"here", line.linkId);
    PlaceInlineLink(page, line);
}

bool HandleInlineLink(HWND page, UINT message, WPARAM wParam, const InlineLink& line,
                      void (*onClick)(HWND page)) {
    switch (message) {
        case WM_PAINT: {
            ScopedPaint paint(page);
            PaintInlineLink(page, paint.get(), line);
            return true;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == line.linkId && HIWORD(wParam) == 0)
                onClick(page);
            return true;
        default:
            return false;
    }
}

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
