// The frame (dialog 2001): its window class procedure, its dialog
// procedure, and the navigation between the pages.
#pragma once

#include <windows.h>

namespace vestrel::wizard {

// The class procedure of "dlg0_{...}": WM_CREATE, WM_ERASEBKGND, the
// gothandle and update messages; everything else goes to DefDlgProcW.
LRESULT CALLBACK FrameWindowProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog procedure given to DialogBoxParamW for dialog 2001.
INT_PTR CALLBACK FrameDialogProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam);

// Navigation (WM_COMMAND from the buttons and links).
void OnNext(HWND frame);
void OnBack(HWND frame);
void OnExit(HWND frame);
// Creates page `index`, makes it current, updates header and step list,
// then destroys `previous`.
void GoToPage(HWND frame, int index, HWND previous);

// Runs the "Overwrite files?" step for the planned image files, owned by
// the frame: true to go on.
bool ConfirmImageOverwrite(HWND frame);

}  // namespace vestrel::wizard
