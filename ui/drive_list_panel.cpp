#include "ui/drive_list_panel.h"

#include "ui/dpi.h"
#include "ui/gdi.h"
#include "ui/scroll_panel.h"

namespace vestrel {

namespace {

DriveRowMessageHandler rowMessageHandler = nullptr;

constexpr const wchar_t* kFontProperties[] = {kDriveListFontRegular, kDriveListFontBold,
                                              kDriveListFontSmall, kDriveListFontLarge};

void CreateFonts(HWND panel) {
    ScopedWindowDC dc(panel);
    SetPropW(panel, kDriveListFontRegular, CreateTahomaFont(dc.get(), 8, FW_NORMAL));
    SetPropW(panel, kDriveListFontBold, CreateTahomaFont(dc.get(), 8, FW_BOLD));
    SetPropW(panel, kDriveListFontSmall, CreateTahomaFont(dc.get(), 7, FW_NORMAL));
    SetPropW(panel, kDriveListFontLarge, CreateTahomaFont(dc.get(), 12, FW_BOLD));
    SetPropW(panel, kDriveListArrowCursor, LoadCursorW(nullptr, IDC_ARROW));
    SetPropW(panel, kDriveListHandCursor, LoadCursorW(nullptr, IDC_HAND));
}

void OnDestroy(HWND panel) {
    DestroyPanelParts(panel, kDriveListFamily);
    for (const wchar_t* name : kFontProperties) {
        if (HGDIOBJ font = GetPropW(panel, name))
            DeleteObject(font);
        RemovePropW(panel, name);
    }
    // The cursors are the system's shared ones.
    RemovePropW(panel, kDriveListArrowCursor);
    RemovePropW(panel, kDriveListHandCursor);
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
    try {
        LRESULT result = 0;
        switch (message) {
            case WM_CREATE:
                CreateFonts(panel);
                return 0;
            case WM_DESTROY:
                OnDestroy(panel);
                return 0;
            default:
                break;
        }
        if (HandleCommonPanelMessage(panel, kDriveListFamily, message, wParam, lParam, result))
            return result;
        if (rowMessageHandler && rowMessageHandler(panel, message, wParam, lParam, result))
            return result;
    } catch (...) {
        return 0;
    }
    return DefWindowProcW(panel, message, wParam, lParam);
}

}  // namespace vestrel
