#include "wizard/frame_state.h"

#include <cstdint>

namespace vestrel::wizard {

WizardProcess& Process() {
    static WizardProcess process;
    return process;
}

HWND LockedFrameHandle() {
    WizardProcess& p = Process();
    EnterCriticalSection(&p.frameLock);
    HWND frame = p.frame;
    LeaveCriticalSection(&p.frameLock);
    return frame;
}

int PageIndex(HWND frame) {
    return static_cast<int>(reinterpret_cast<intptr_t>(GetPropW(frame, kPropPageIndex)));
}

void SetPageIndex(HWND frame, int index) {
    SetPropW(frame, kPropPageIndex, reinterpret_cast<HANDLE>(static_cast<intptr_t>(index)));
}

HFONT SmallBoldFont(HWND frame) {
    return static_cast<HFONT>(GetPropW(frame, kPropSmallBoldFont));
}

int ShowMessage(HWND owner, const wchar_t* text, UINT type) {
    return MessageBoxW(owner, text, kProductName, type);
}

}  // namespace vestrel::wizard
