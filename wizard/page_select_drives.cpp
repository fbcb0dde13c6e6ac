// Select source and destination drives (dialog 2401): the frame around the
// drive list panel (3404) and its two column headings.
#include "resources/resource_ids.h"
#include "ui/dpi.h"
#include "ui/drive_list_panel.h"
#include "wizard/drive_rows.h"
#include "wizard/frame_state.h"
#include "wizard/page_layout.h"
#include "wizard/pages.h"

namespace vestrel::wizard {

namespace {

constexpr int kDriveRowHeight = 55;
constexpr int kSourceColumnWidth = 275;
constexpr int kColumnGap = 26;
constexpr int kHeadingGap = 2;

RECT RectOnPage(HWND page, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The headings keep their height and stay hidden, as the template has them.
void PlaceHeadings(HWND page, const RECT& panel) {
    HWND frame = GetParent(page);
    HWND source = GetDlgItem(page, IDC_SOURCE_HEADING);
    HWND destination = GetDlgItem(page, IDC_DESTINATION_HEADING);
    const RECT sourceRect = RectOnPage(page, source);
    RECT pageRect{};
    GetWindowRect(page, &pageRect);
    RECT exitRect{};
    GetWindowRect(GetDlgItem(frame, IDC_EXIT), &exitRect);
    const int headingHeight = sourceRect.bottom - sourceRect.top;
    const PanelPlacement placed{panel.left, panel.top, panel.right - panel.left,
                                panel.bottom - panel.top};
    // Both edges are taken on the screen: only their difference counts.
    const HeadingPlacement h = HeadingsAbove(
        placed, headingHeight, ScaledY(kHeadingGap), ScaledX(kSourceColumnWidth),
        ScaledX(kColumnGap), pageRect.left, exitRect.right, GetSystemMetrics(SM_CXVSCROLL));
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(source, nullptr, h.sourceX, h.y, h.sourceWidth, headingHeight, flags);
    SetWindowPos(destination, nullptr, h.destinationX, h.y, h.destinationWidth, headingHeight,
                 flags);
}

void OnInit(HWND page) {
    const WPARAM font = reinterpret_cast<WPARAM>(SmallBoldFont(GetParent(page)));
    SendDlgItemMessageW(page, IDC_SOURCE_HEADING, WM_SETFONT, font, FALSE);
    SendDlgItemMessageW(page, IDC_DESTINATION_HEADING, WM_SETFONT, font, FALSE);
    const RECT panel = PanelRectOnPage(page, GetDlgItem(page, IDC_SOURCE_HEADING), kDriveRowHeight);
    InstallDriveRows();
    HWND list = CreateDriveListPanel(page, panel.left, panel.top, panel.right - panel.left,
                                     panel.bottom - panel.top);
    if (list)
        FillDriveList(list);
    PlaceHeadings(page, panel);
    if (list)
        SetFocus(list);
}

}  // namespace

INT_PTR CALLBACK SelectDrivesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return PageProcedure(page, message, wParam, lParam, kPlainStatics, nullptr, OnInit);
}

}  // namespace vestrel::wizard
