// The panel container of the reading and writing pages: a scrolling panel
// of progress panels, painted over the frame's background.
#pragma once

#include <windows.h>

namespace vestrel {

inline constexpr wchar_t kPanelContainerClass[] = L"d0";
inline constexpr wchar_t kProgressPanelClass[] = L"d3";

// Properties the progress panels read from the container.
inline constexpr wchar_t kContainerFontRegular[] = L"_4";  // 8 pt
inline constexpr wchar_t kContainerFontBold[] = L"_5";     // 8 pt bold
inline constexpr wchar_t kContainerFontBold2[] = L"_6";    // 8 pt bold
inline constexpr wchar_t kContainerWorkMode[] = L"_9";     // 0 read, 1 write

// What the progress panels' code adds to the container.
struct PanelContainerHooks {
    // The key of a reader panel (the source's drive letter) from the
    // source's index; unset, the index itself is the key.
    LPARAM (*readerKey)(LPARAM sourceIndex) = nullptr;
    // Starts one thread per progress panel (WM_STARTPANELTHREADS).
    void (*startThreads)(HWND container, int workMode) = nullptr;
};
void SetPanelContainerHooks(const PanelContainerHooks& hooks);

// Creates the container (WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN |
// WS_TABSTOP, no id) on `page`. Rows are "d3" windows added with
// WM_ADDDRIVEPANEL, which answers with the new row (null on failure).
HWND CreatePanelContainer(HWND page, int x, int y, int width, int height);

// The work mode last set by WM_ADDDRIVEPANEL or WM_STARTPANELTHREADS.
int PanelContainerWorkMode(HWND container);

LRESULT CALLBACK PanelContainerProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vestrel
