#include "installer/installer_dlg.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windowsx.h>

#include "installer/batch_file.h"
#include "installer/installer_state.h"
#include "installer/removal.h"
#include "installer/shell_folders.h"
#include "installer/texts.h"
#include "resources/installer_ids.h"

namespace vestrel::installer {

namespace {

// What the folder box takes: the longest path the worker builds (the folder,
// a backslash and the batch file's name) stays below MAX_PATH.
constexpr int kFolderLimit = MAX_PATH - 2 - static_cast<int>(kBatchFileName.size());

std::wstring DefaultInstallFolder() {
    return ShellFolder(CSIDL_PROGRAM_FILES) +
           L"\\" VESTREL_INSTALL_LEVEL1 L"\\" VESTREL_INSTALL_LEVEL2 L"\\t4k_Vestrel";
}

bool WizardBesideInstaller() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH - 1);
    const std::wstring self(path, length);
    const size_t slash = self.rfind(L'\\');
    return slash != std::wstring::npos && IsFile(Join(self.substr(0, slash), kWizardExe));
}

}  // namespace

Ct4kInstallerDlg::Ct4kInstallerDlg() {
    InitializeCriticalSection(&State().lock);
    State().cancelEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    CheckPreviousInstallation();
    // Everything beside the installer is installed: without the wizard
    // there, this is not the package's folder.
    if (!WizardBesideInstaller()) {
        MessageBoxW(nullptr,
                    L"t4kVestrel.exe was not found beside the installer.\n\nPlease unpack the "
                    L"whole package into a folder of its own and start t4kInstaller.exe there.",
                    kCaption, MB_OK | MB_ICONEXCLAMATION);
        ExitProcess(1);
    }
}

Ct4kInstallerDlg::~Ct4kInstallerDlg() {
    if (worker_)
        CloseHandle(worker_);
    CloseHandle(State().cancelEvent);
    DeleteCriticalSection(&State().lock);
}

INT_PTR Ct4kInstallerDlg::DoModal(HINSTANCE instance) {
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_INSTALLER), nullptr, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK Ct4kInstallerDlg::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<Ct4kInstallerDlg*>(lParam)->dialog_ = dialog;
    }
    auto* self = reinterpret_cast<Ct4kInstallerDlg*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return self ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR Ct4kInstallerDlg::Result(LRESULT result) {
    SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR Ct4kInstallerDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return TRUE;
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        case WM_PAINT:
            OnPaint();
            return TRUE;
        case WM_ERASEBKGND:
            return Result(0);
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK)
                OnProceed();
            else if (LOWORD(wParam) == IDCANCEL)
                OnCancel();
            return TRUE;
        case WM_NCHITTEST:
            return OnNcHitTest(wParam, lParam);
        case WM_MOUSEMOVE:
            OnMouseMove({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return TRUE;
        case WM_SETCURSOR:
            return OnSetCursor(reinterpret_cast<HWND>(wParam));
        case WM_LBUTTONDOWN:
            OnLeftButtonDown();
            return TRUE;
        default:
            return FALSE;
    }
}

void Ct4kInstallerDlg::OnInitDialog() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto icon = [&](int metricX, int metricY) {
        return reinterpret_cast<LPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_INSTALLER),
                                                   IMAGE_ICON, GetSystemMetrics(metricX),
                                                   GetSystemMetrics(metricY), LR_SHARED));
    };
    SendMessageW(dialog_, WM_SETICON, ICON_BIG, icon(SM_CXICON, SM_CYICON));
    SendMessageW(dialog_, WM_SETICON, ICON_SMALL, icon(SM_CXSMICON, SM_CYSMICON));
    const HWND folder = GetDlgItem(dialog_, IDC_INSTALL_FOLDER);
    SendMessageW(folder, EM_SETLIMITTEXT, kFolderLimit, 0);
    SetWindowTextW(folder, DefaultInstallFolder().c_str());
    CheckDlgButton(dialog_, IDC_START_MENU_SHORTCUT, BST_CHECKED);
    CheckDlgButton(dialog_, IDC_DESKTOP_SHORTCUT, BST_CHECKED);
    CheckDlgButton(dialog_, IDC_QUICK_LAUNCH_SHORTCUT, BST_UNCHECKED);
    LOGFONTW font{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    font.lfUnderline = TRUE;
    linkFont_ = CreateFontIndirectW(&font);
}

void Ct4kInstallerDlg::OnDestroy() {
    if (linkFont_)
        DeleteObject(linkFont_);
    if (snapshot_)
        DeleteObject(snapshot_);
    linkFont_ = nullptr;
    snapshot_ = nullptr;
}

INT_PTR Ct4kInstallerDlg::OnNcHitTest(WPARAM wParam, LPARAM lParam) {
    if (!installing_)
        return FALSE;
    const LRESULT hit = DefWindowProcW(dialog_, WM_NCHITTEST, wParam, lParam);
    return Result(hit == HTCAPTION ? HTCLIENT : hit);
}

void Ct4kInstallerDlg::OnMouseMove(POINT point) {
    if (installing_)
        return;
    RECT around = linkArea_;
    InflateRect(&around, 10, 10);
    if (PtInRect(&linkArea_, point))
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
    else if (PtInRect(&around, point))
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

INT_PTR Ct4kInstallerDlg::OnSetCursor(HWND over) {
    if (over != dialog_)
        return FALSE;
    POINT point;
    GetCursorPos(&point);
    ScreenToClient(dialog_, &point);
    const bool onLink = !installing_ && PtInRect(&linkArea_, point);
    SetCursor(LoadCursorW(nullptr, onLink ? IDC_HAND : IDC_ARROW));
    return Result(TRUE);
}

void Ct4kInstallerDlg::OnLeftButtonDown() {
    if (installing_)
        return;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ShellExecuteW(nullptr, L"Open", kPublisherWebRoot, nullptr, nullptr, SW_SHOWNORMAL);
    if (SUCCEEDED(com))
        CoUninitialize();
}

}  // namespace vestrel::installer
