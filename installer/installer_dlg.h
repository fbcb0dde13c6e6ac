// The installer's one dialog (template 102): the folder and shortcut
// choices, the installation with its progress box, and Cancel.
#pragma once

#include <windows.h>

#include <string>

#include "installer/shortcuts.h"

namespace vestrel::installer {

class Ct4kInstallerDlg {
  public:
    // Creates the installer lock and cancel event, lowers the thread's
    // priority, and runs the previous-installation check, which may end the
    // process; ends it too when the wizard does not lie beside the installer.
    Ct4kInstallerDlg();
    ~Ct4kInstallerDlg();
    Ct4kInstallerDlg(const Ct4kInstallerDlg&) = delete;
    Ct4kInstallerDlg& operator=(const Ct4kInstallerDlg&) = delete;

    INT_PTR DoModal(HINSTANCE instance);

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Result(LRESULT result);

    void OnInitDialog();
    void OnDestroy();
    void OnPaint();
    void OnProceed();
    void OnCancel();
    INT_PTR OnNcHitTest(WPARAM wParam, LPARAM lParam);
    void OnMouseMove(POINT point);
    INT_PTR OnSetCursor(HWND over);
    void OnLeftButtonDown();

    // Proceed's parts (installer_proceed.cpp).
    bool FolderAccepted();
    void LockControls();
    void TakeSnapshot();
    bool StartWorker();
    void WaitForWorker();
    void ShowSteps(int& stepIndex);
    void ShowOutcome(DWORD result);
    void CloseAfter(DWORD ms);

    // Painting's parts (installer_paint.cpp).
    void PaintLink(HDC dc, const RECT& client, COLORREF colour);
    void PaintProgressBox(HDC dc, const RECT& client);

    HWND dialog_ = nullptr;
    HANDLE worker_ = nullptr;
    bool installing_ = false;
    bool installationHasRun_ = false;
    HBITMAP snapshot_ = nullptr;
    HFONT linkFont_ = nullptr;
    RECT linkArea_{};
    std::wstring installFolder_;
    ShortcutChoice shortcuts_;
};

}  // namespace vestrel::installer
