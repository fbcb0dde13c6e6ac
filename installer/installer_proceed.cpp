// Proceed: the installation from the dialog's side (the worker does the
// work), its outcome, and Cancel during an installation.
#include <objbase.h>
#include <shellapi.h>

#include <array>
#include <vector>

#include "installer/desktop_start.h"
#include "installer/folder_guard.h"
#include "installer/install_worker.h"
#include "installer/installer_dlg.h"
#include "installer/installer_state.h"
#include "installer/removal.h"
#include "installer/shell_folders.h"
#include "installer/texts.h"
#include "resources/installer_ids.h"

namespace vestrel::installer {

namespace {

constexpr int kHiddenWhileInstalling[] = {IDC_INSTALL_TEXT, IDC_INSTALL_FOLDER,
                                          IDC_START_MENU_SHORTCUT, IDC_DESKTOP_SHORTCUT,
                                          IDC_QUICK_LAUNCH_SHORTCUT};

// The status text when the step index is left; none for step 2, which
// shows the file being copied instead.
const wchar_t* StepText(int stepIndex) {
    static constexpr std::array<const wchar_t*, 5> texts{
        L"Creating directory...", L"Copying files...", nullptr, L"Creating icons...",
        L"Writing uninstall key..."};
    return stepIndex >= 0 && stepIndex < static_cast<int>(texts.size()) ? texts[stepIndex]
                                                                        : nullptr;
}

void ShowControls(HWND dialog, bool show) {
    for (int id : kHiddenWhileInstalling)
        ShowWindow(GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE);
}

std::wstring ControlText(HWND control) {
    std::vector<wchar_t> text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    const int length = GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
    return std::wstring(text.data(), length > 0 ? length : 0);
}

}  // namespace

void Ct4kInstallerDlg::OnProceed() {
    if (installing_ || !FolderAccepted())
        return;
    for (int tries = 0; GetForegroundWindow() != dialog_ && tries < 20; ++tries) {
        SetForegroundWindow(dialog_);
        Sleep(100);
    }
    LockControls();
    if (!snapshot_)
        TakeSnapshot();
    installing_ = true;
    ShowControls(dialog_, false);
    {
        StateLock lock;
        State().statusText = L"Preparing installation; please wait...";
        State().currentFileName.clear();
        State().steps = {};
    }
    if (!StartWorker()) {
        installing_ = false;
        ShowOutcome(0xFFFFFFFF);
        return;
    }
    WaitForWorker();
    installing_ = false;
    {
        StateLock lock;
        State().currentFileName.clear();
    }
    RedrawWindow(dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    DWORD result = kForcedEnd;
    GetExitCodeThread(worker_, &result);
    CloseHandle(worker_);
    worker_ = nullptr;
    ShowOutcome(result);
}

// The folder is held to the rule the removal applies, so that whatever is
// installed can be removed again; a refused folder is explained and the
// dialog stays as it is.
bool Ct4kInstallerDlg::FolderAccepted() {
    const HWND box = GetDlgItem(dialog_, IDC_INSTALL_FOLDER);
    const std::wstring folder = Wide(NormaliseFolder(U16(ControlText(box))));
    const wchar_t* reason = nullptr;
    switch (CheckInstallFolder(folder)) {
        case FolderVerdict::Allowed:
            return true;
        case FolderVerdict::NotAbsolute:
            reason =
                L"Please enter the install folder as a full path, for example "
                L"C:\\Programs\\t4k Vestrel.";
            break;
        case FolderVerdict::DriveRoot:
            reason =
                L"The install folder cannot be the root of a drive or network share. Please "
                L"choose a folder inside it.";
            break;
        case FolderVerdict::ProtectedFolder:
            reason =
                L"The install folder cannot be a Windows or user profile folder, nor a folder "
                L"that holds one. Please choose another folder.";
            break;
    }
    MessageBoxW(dialog_, reason, kCaption, MB_OK | MB_ICONEXCLAMATION);
    SetFocus(box);
    SendMessageW(box, EM_SETSEL, 0, -1);
    return false;
}

void Ct4kInstallerDlg::LockControls() {
    const HWND proceed = GetDlgItem(dialog_, IDOK);
    const HWND cancel = GetDlgItem(dialog_, IDCANCEL);
    const HWND folder = GetDlgItem(dialog_, IDC_INSTALL_FOLDER);
    SendMessageW(cancel, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    SendMessageW(dialog_, DM_SETDEFID, IDCANCEL, 0);
    SendMessageW(proceed, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EnableWindow(proceed, FALSE);
    SendMessageW(folder, EM_SETREADONLY, TRUE, 0);
    for (int id : kHiddenWhileInstalling)
        EnableWindow(GetDlgItem(dialog_, id), FALSE);
    for (HWND control : {cancel, proceed, folder})
        RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void Ct4kInstallerDlg::TakeSnapshot() {
    RECT client;
    GetClientRect(dialog_, &client);
    HDC window = GetDC(dialog_);
    HDC memory = CreateCompatibleDC(window);
    snapshot_ = CreateCompatibleBitmap(window, client.right, client.bottom);
    const HGDIOBJ old = SelectObject(memory, snapshot_);
    BitBlt(memory, 0, 0, client.right, client.bottom, window, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(dialog_, window);
}

bool Ct4kInstallerDlg::StartWorker() {
    // One copy of the choices, read now, serves the whole installation.
    installFolder_ =
        Wide(NormaliseFolder(U16(ControlText(GetDlgItem(dialog_, IDC_INSTALL_FOLDER)))));
    shortcuts_.startMenu = IsDlgButtonChecked(dialog_, IDC_START_MENU_SHORTCUT) == BST_CHECKED;
    shortcuts_.desktop = IsDlgButtonChecked(dialog_, IDC_DESKTOP_SHORTCUT) == BST_CHECKED;
    shortcuts_.quickLaunch = IsDlgButtonChecked(dialog_, IDC_QUICK_LAUNCH_SHORTCUT) == BST_CHECKED;
    auto* job = new InstallJob{installFolder_, shortcuts_};
    worker_ = CreateThread(nullptr, 0, InstallWorker, job, CREATE_SUSPENDED, nullptr);
    if (!worker_) {
        delete job;
        return false;
    }
    SetThreadPriority(worker_, THREAD_PRIORITY_LOWEST);
    ResumeThread(worker_);
    return true;
}

void Ct4kInstallerDlg::WaitForWorker() {
    int stepIndex = 0;
    for (;;) {
        // Ends when the worker has, whatever else happened meanwhile.
        const DWORD wait = MsgWaitForMultipleObjects(1, &worker_, FALSE, 40, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0 || WaitForSingleObject(worker_, 0) == WAIT_OBJECT_0)
            return;
        MSG message;
        for (UINT dropped : {WM_NCMOUSEMOVE, WM_NCLBUTTONDOWN, WM_NCMBUTTONDOWN, WM_NCRBUTTONDOWN,
                             WM_NCXBUTTONDOWN}) {
            while (PeekMessageW(&message, dialog_, dropped, dropped, PM_REMOVE)) {
            }
        }
        if (wait == WAIT_OBJECT_0 + 1) {
            while (worker_ && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        if (!worker_)
            return;
        InvalidateRect(dialog_, nullptr, FALSE);
        ShowSteps(stepIndex);
    }
}

void Ct4kInstallerDlg::ShowSteps(int& stepIndex) {
    {
        StateLock lock;
        InstallerState& state = State();
        if (stepIndex == 2 && !state.currentFileName.empty())
            state.statusText = L"Copying file: " + state.currentFileName;
        if (state.steps.cancelling) {
            state.statusText = L"Cancelling...";
        } else {
            for (; state.steps.pendingAdvances > 0; --state.steps.pendingAdvances) {
                if (const wchar_t* text = StepText(stepIndex))
                    state.statusText = text;
                ++stepIndex;
            }
        }
    }
    RedrawWindow(dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void Ct4kInstallerDlg::ShowOutcome(DWORD result) {
    if (result == kInstalled) {
        if (MessageBoxW(dialog_, L"Installation successfull. Start application now?", kCaption,
                        MB_YESNO | MB_ICONINFORMATION) == IDYES) {
            const HRESULT com =
                CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
            // The installer runs elevated; the wizard should not.
            const std::wstring wizard = Join(installFolder_, kWizardExe);
            if (!OpenFromDesktop(wizard))
                ShellExecuteW(nullptr, L"Open", wizard.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
            if (SUCCEEDED(com))
                CoUninitialize();
        }
        CloseAfter(500);
        return;
    }
    if (result == kCancelled) {
        CloseAfter(500);
        return;
    }
    const wchar_t* reason = result == kFolderFailed ? L"Failed to create directory."
                            : result == kCopyFailed ? L"Failed to copy or create a file."
                                                    : L"Unknown Error";
    const std::wstring text = std::wstring(L"An error occurred during installation:\n\n") + reason;
    if (MessageBoxW(dialog_, text.c_str(), kCaption, MB_RETRYCANCEL | MB_ICONEXCLAMATION) !=
        IDRETRY) {
        CloseAfter(500);
        return;
    }
    Sleep(1000);
    if (snapshot_)
        DeleteObject(snapshot_);
    snapshot_ = nullptr;
    ShowControls(dialog_, true);
    ResetEvent(State().cancelEvent);
    PostMessageW(dialog_, WM_COMMAND, IDOK, 0);
}

void Ct4kInstallerDlg::CloseAfter(DWORD ms) {
    Sleep(ms);
    EndDialog(dialog_, IDCANCEL);
}

void Ct4kInstallerDlg::OnCancel() {
    if (!installing_) {
        EndDialog(dialog_, IDCANCEL);
        return;
    }
    if (!worker_)
        return;
    EnableWindow(GetDlgItem(dialog_, IDCANCEL), FALSE);
    {
        StateLock lock;
        State().steps.cancelling = true;
        State().statusText = L"Cancelling...";
    }
    RedrawWindow(dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    SetEvent(State().cancelEvent);
    Sleep(500);
    // Up to two seconds for the worker to see it; messages sent to this
    // thread meanwhile are served.
    const DWORD start = GetTickCount();
    bool ended = WaitForSingleObject(worker_, 0) == WAIT_OBJECT_0;
    while (!ended && GetTickCount() - start < 2000) {
        MsgWaitForMultipleObjects(1, &worker_, FALSE, 50, QS_SENDMESSAGE);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        ended = WaitForSingleObject(worker_, 0) == WAIT_OBJECT_0;
    }
    if (ended) {
        // A worker that finished before it saw the cancel has installed:
        // that installation stays.
        DWORD result = kInstalled;
        GetExitCodeThread(worker_, &result);
        if (result == kCancelled)
            RunRemoval(RememberedCommand());
        return;
    }
    TerminateThread(worker_, kForcedEnd);
    CloseHandle(worker_);
    worker_ = nullptr;
    // The worker is gone, perhaps inside the lock: read without it.
    const std::wstring command = State().rememberedCommand;
    RunRemoval(command);
    TerminateProcess(GetCurrentProcess(), 0);
}

}  // namespace vestrel::installer
