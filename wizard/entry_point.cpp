// The wizard's entry point: the back end and the start-up steps, the frame
// class and the update thread, then the frame, which runs the whole wizard.
#include <windows.h>

#include <commctrl.h>

#include "drive/source_table.h"
#include "resources/resource_ids.h"
#include "wizard/back_end.h"
#include "wizard/background.h"
#include "wizard/frame.h"
#include "wizard/frame_state.h"
#include "wizard/startup.h"
#include "wizard/update_thread.h"

namespace vestrel::wizard {

namespace {

// The standard dialog class's attributes with the frame's procedure and no
// background brush (the frame paints its own).
bool RegisterFrameClass(HINSTANCE instance) {
    WNDCLASSW frameClass{};
    if (!GetClassInfoW(nullptr, L"#32770", &frameClass))
        return false;
    frameClass.style &= ~CS_GLOBALCLASS;
    frameClass.lpfnWndProc = FrameWindowProc;
    frameClass.hInstance = instance;
    frameClass.hbrBackground = nullptr;
    frameClass.lpszClassName = kFrameClass;
    return RegisterClassW(&frameClass) != 0;
}

// The update check runs beside the wizard and is never waited for.
void StartUpdateCheck(WizardProcess& p) {
    p.updateThread =
        CreateThread(nullptr, 0, UpdateCheckThread, &p.frame, CREATE_SUSPENDED, nullptr);
    InitializeCriticalSection(&p.frameLock);
    if (p.updateThread) {
        SetThreadPriority(p.updateThread, THREAD_PRIORITY_BELOW_NORMAL);
        ResumeThread(p.updateThread);
    }
}

// The frame-handle lock goes only when the update thread cannot take it
// any more; otherwise it ends with the process.
void StopUpdateCheck(WizardProcess& p) {
    if (p.updateThread && WaitForSingleObject(p.updateThread, 0) != WAIT_OBJECT_0)
        return;
    if (p.updateThread)
        CloseHandle(p.updateThread);
    p.updateThread = nullptr;
    DeleteCriticalSection(&p.frameLock);
}

int RunWizard(HINSTANCE instance) {
    if (!StartBackEnd(instance))
        return 1;
    RunStartUpSteps();

    INITCOMMONCONTROLSEX controls{sizeof controls, 0x40FF};
    InitCommonControlsEx(&controls);
    WizardProcess& p = Process();
    p.instance = instance;
    SourceTable().clear();
    p.autoPlayMessage = RegisterWindowMessageW(L"QueryCancelAutoPlay");
    RegisterFrameClass(instance);
    StartUpdateCheck(p);

    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_FRAME), nullptr, FrameDialogProc, 0);
    FrameEnded();

    ReleaseBackground();
    StopUpdateCheck(p);
    return 0;
}

}  // namespace

}  // namespace vestrel::wizard

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    try {
        return vestrel::wizard::RunWizard(instance);
    } catch (...) {
        return 1;
    }
}
