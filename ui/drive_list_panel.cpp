#include "ui/drive_list_panel.h"

#include "ui/scroll_panel.h"

namespace vestrel {

namespace {

DriveRowMessageHandler rowMessageHandler = nullptr;

constexpr PanelFont kFonts[] = {
    {kDriveListFontRegular, 8, FW_NORMAL},
    {kDriveListFontBold, 8, FW_BOLD},
    {kDriveListFontSmall, 7, FW_NORMAL},
    {kDriveListFontLarge, 12, FW_BOLD},
};

void OnCreate(HWND panel) {
    CreatePanelFonts(panel, kFonts);
    SetPropW(panel, kDriveListArrowCursor, LoadCursorW(nullptr, IDC_ARROW));
    SetPropW(panel, kDriveListHandCursor, LoadCursorW(nullptr, IDC_HAND));
}

void OnDestroy(HWND panel) {
    DestroyPanelParts(panel, kDriveListFamily);
    DeletePanelFonts(panel, kFonts);
    // The cursors are the system's shared ones.
    RemovePropW(panel, kDriveListArrowCursor);
    RemovePropW(panel, kDriveListHandCursor);
    // The rows are gone: what they were drawn from may go too.
    LRESULT ignored = 0;
    if (rowMessageHandler)
        rowMessageHandler(panel, WM_DESTROY, 0, 0, ignored);
}

}  // namespace

void SetDriveRowMessageHandler(DriveRowMessageHandler handler) {
    rowMessageHandler = handler;
}

HWND CreateDriveListPanel(HWND page, int x, int y, int width, int height) {
    RegisterPanelClasses(kDriveListFamily, DriveListPanelProc);
    return CreateScrollPanel(kDriveListFamily, page, x, y, width, height,
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP, kDriveListPanelId);
}

LRESULT CALLBACK DriveListPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    auto rows = [&](LRESULT& result) {
        return rowMessageHandler && rowMessageHandler(panel, message, wParam, lParam, result);
    };
    return PanelProcedure(panel, kDriveListFamily, message, wParam, lParam, OnCreate, OnDestroy,
                          rows);
}

}  // namespace vestrel
