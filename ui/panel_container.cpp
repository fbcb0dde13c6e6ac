#include "ui/panel_container.h"

#include <cstdint>

#include "ui/dpi.h"
#include "ui/gdi.h"
#include "ui/messages.h"
#include "ui/painting.h"
#include "ui/scroll_panel.h"

namespace vestrel {

namespace {

PanelContainerHooks hooks;

constexpr const wchar_t* kFontProperties[] = {kContainerFontRegular, kContainerFontBold,
                                              kContainerFontBold2};

void SetWorkMode(HWND panel, WPARAM mode) {
    SetPropW(panel, kContainerWorkMode, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(mode)));
}

void CreateFonts(HWND panel) {
    ScopedWindowDC dc(panel);
    SetPropW(panel, kContainerFontRegular, CreateTahomaFont(dc.get(), 8, FW_NORMAL));
    SetPropW(panel, kContainerFontBold, CreateTahomaFont(dc.get(), 8, FW_BOLD));
    SetPropW(panel, kContainerFontBold2, CreateTahomaFont(dc.get(), 8, FW_BOLD));
}

void OnDestroy(HWND panel) {
    DestroyPanelParts(panel, kContainerFamily);
    for (const wchar_t* name : kFontProperties) {
        if (HGDIOBJ font = GetPropW(panel, name))
            DeleteObject(font);
        RemovePropW(panel, name);
    }
    RemovePropW(panel, kContainerWorkMode);
}

LRESULT OnAddDrivePanel(HWND panel, WPARAM kind, LPARAM value) {
    SetWorkMode(panel, kind);
    LPARAM key = value;
    if (kind == 0 && hooks.readerKey)
        key = hooks.readerKey(value);
    return reinterpret_cast<LRESULT>(AddPanelRow(panel, kProgressPanelClass, key));
}

}  // namespace

void SetPanelContainerHooks(const PanelContainerHooks& newHooks) {
    hooks = newHooks;
}

HWND CreatePanelContainer(HWND page, int x, int y, int width, int height) {
    RegisterPanelClasses(kContainerFamily, PanelContainerProc);
    return CreateScrollPanel(kContainerFamily, page, x, y, width, height,
                             WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP, 0);
}

int PanelContainerWorkMode(HWND container) {
    return static_cast<int>(reinterpret_cast<uintptr_t>(GetPropW(container, kContainerWorkMode)));
}

LRESULT CALLBACK PanelContainerProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        LRESULT result = 0;
        switch (message) {
            case WM_CREATE:
                CreateFonts(panel);
                return 0;
            case WM_DESTROY:
                OnDestroy(panel);
                return 0;
            case WM_ERASEBKGND:
                FillFromFrameBackground(panel, reinterpret_cast<HDC>(wParam));
                return 1;
            case WM_ADDDRIVEPANEL:
                return OnAddDrivePanel(panel, wParam, lParam);
            case WM_STARTPANELTHREADS:
                SetWorkMode(panel, wParam);
                if (hooks.startThreads)
                    hooks.startThreads(panel, static_cast<int>(wParam));
                return 0;
            default:
                break;
        }
        if (HandleCommonPanelMessage(panel, kContainerFamily, message, wParam, lParam, result))
            return result;
    } catch (...) {
        return 0;
    }
    return DefWindowProcW(panel, message, wParam, lParam);
}

}  // namespace vestrel
