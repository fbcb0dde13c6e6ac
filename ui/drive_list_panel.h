// The drive list panel of the select-drives page (control 3404): a
// scrolling panel of drive rows. The drive rows themselves, and what the
// row messages do, come with the rows' own code through a message handler.
#pragma once

#include <windows.h>

namespace vestrel {

inline constexpr wchar_t kDriveListPanelClass[] = L"o0";
inline constexpr wchar_t kDriveRowClass[] = L"o3";
inline constexpr wchar_t kDestinationStripClass[] = L"o4";
inline constexpr int kDriveListPanelId = 3404;

// Properties the rows read from the panel.
inline constexpr wchar_t kDriveListFontRegular[] = L"_1";  // 8 pt
inline constexpr wchar_t kDriveListFontBold[] = L"_2";     // 8 pt bold
inline constexpr wchar_t kDriveListFontSmall[] = L"_3";    // 7 pt
inline constexpr wchar_t kDriveListFontLarge[] = L"_4";    // 12 pt bold
inline constexpr wchar_t kDriveListArrowCursor[] = L"_5";
inline constexpr wchar_t kDriveListHandCursor[] = L"_6";

// Handles the panel's row messages (WM_ADDDRIVEROW, WM_REMOVEDRIVEROW,
// WM_REFRESHDRIVEROW) and any other message the panel does not handle
// itself; returns true when it handled one. Unset, those messages get
// default processing. It also hears WM_DESTROY once the rows are gone.
using DriveRowMessageHandler = bool (*)(HWND panel, UINT message, WPARAM wParam, LPARAM lParam,
                                        LRESULT& result);
void SetDriveRowMessageHandler(DriveRowMessageHandler handler);

// Creates the panel (WS_CHILD | WS_VISIBLE | WS_TABSTOP, id 3404) on `page`.
HWND CreateDriveListPanel(HWND page, int x, int y, int width, int height);

LRESULT CALLBACK DriveListPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vestrel
