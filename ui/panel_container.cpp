#include "ui/panel_container.h"

#include <cstdint>

#include "ui/messages.h"
#include "ui/painting.h"
#include "ui/scroll_panel.h"

namespace vestrel {

namespace {

PanelContainerHooks hooks;

constexpr PanelFont kFonts[] = {
    {kContainerFontRegular, 8, FW_NORMAL},
    {kContainerFontBold, 8, FW_BOLD},
    {kContainerFontBold2, 8, FW_BOLD},
};

void SetWorkMode(HWND panel, WPARAM mode) {
    SetPropW(panel, kContainerWorkMode, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(mode)));
}

void OnCreate(HWND panel) {
    CreatePanelFonts(panel, kFonts);
}

void OnDestroy(HWND panel) {
    DestroyPanelParts(panel, kContainerFamily);
    DeletePanelFonts(panel, kFonts);
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
    auto handle = [&](LRESULT& result) {
        switch (message) {
            case WM_ERASEBKGND:
                FillFromFrameBackground(panel, reinterpret_cast<HDC>(wParam));
                result = 1;
                return true;
            case WM_ADDDRIVEPANEL:
                result = OnAddDrivePanel(panel, wParam, lParam);
                return true;
            case WM_STARTPANELTHREADS:
                SetWorkMode(panel, wParam);
                if (hooks.startThreads)
                    hooks.startThreads(panel, static_cast<int>(wParam));
                result = 0;
                return true;
            default:
                return false;
        }
    };
    return PanelProcedure(panel, kContainerFamily, message, wParam, lParam, OnCreate, OnDestroy,
                          handle);
}

}  // namespace vestrel
