// Private window messages shared by the frame, its pages and the controls.
#pragma once

#include <windows.h>

namespace vestrel {

// wParam = a DC, lParam = a child window anywhere below the frame: fill
// the DC with that child's rectangle of the frame's background. Sent to a
// window's parent (pages and the frame answer it) or to the frame.
inline constexpr UINT WM_FILLBACKGROUND = WM_USER + 101;

// Drive list panel (control 3404) row messages; wParam = a drive letter.
inline constexpr UINT WM_ADDDRIVEROW = WM_USER + 1;
inline constexpr UINT WM_REMOVEDRIVEROW = WM_USER + 2;
inline constexpr UINT WM_REFRESHDRIVEROW = WM_USER + 3;

// Panel container messages. AddDrivePanel: wParam 0 = reader panel
// (lParam = the source's index), 1 = writer panel (lParam = the drive
// letter). StartPanelThreads: wParam = work mode, 0 read, 1 write.
inline constexpr UINT WM_ADDDRIVEPANEL = WM_USER + 1;
inline constexpr UINT WM_STARTPANELTHREADS = WM_USER + 2;

}  // namespace vestrel
