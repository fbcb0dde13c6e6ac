#include "wizard/startup.h"

#include <windows.h>

#include <cstdlib>

#include "drive/drive_lock.h"
#include "drive/inventory.h"
#include "ui/gradient_fill.h"
#include "wizard/frame_state.h"
#include "wizard/version_info.h"

namespace vestrel::wizard {

namespace {

void UnlockTraysAtExit() {
    UnlockAllOpticalDrives();
}

void DeleteGradientCacheAtExit() {
    DeleteGradientCache();
}

void ReleaseVersionAtExit() {
    ReleaseProgramVersion();
}

}  // namespace

void RunStartUpSteps() {
    // The drive lock is a static object: made here, gone after the last
    // exit step.
    DriveLock();
    std::srand(GetTickCount());
    std::atexit(UnlockTraysAtExit);
    WizardProcess& p = Process();
    p.gotHandleMessage =
        RegisterWindowMessageW(L"ZQ_gothandle_{82DE65E8-B047-4647-8A07-1742A98109F1}");
    p.updateMessage =
        RegisterWindowMessageW(L"ZQ_updateavailable_{82DE65E8-B047-4647-8A07-1742A98109F1}");
    InitGradientFill();
    std::atexit(DeleteGradientCacheAtExit);
    ReadProgramVersion();
    std::atexit(ReleaseVersionAtExit);
}

}  // namespace vestrel::wizard
