// The frame's window class procedure: publishes the frame handle, paints
// the background buffer, and hands the update message on.
#include "wizard/background.h"
#include "wizard/frame.h"
#include "wizard/frame_state.h"
#include "wizard/update_thread.h"

namespace vestrel::wizard {

namespace {

void PublishFrame(HWND frame) {
    WizardProcess& p = Process();
    EnterCriticalSection(&p.frameLock);
    p.frame = frame;
    LeaveCriticalSection(&p.frameLock);
}

}  // namespace

LRESULT CALLBACK FrameWindowProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    const WizardProcess& p = Process();
    try {
        if (message == WM_CREATE) {
            PostMessageW(frame, p.gotHandleMessage, 0, 0);
            PublishFrame(frame);
        } else if (message == WM_ERASEBKGND) {
            RebuildBackground(frame, reinterpret_cast<HDC>(wParam));
            return 1;
        } else if (message == WM_NCDESTROY) {
            PublishFrame(nullptr);
        } else if (message != 0 && message == p.gotHandleMessage) {
            return 0;
        } else if (message != 0 && message == p.updateMessage) {
            return OnUpdateAvailable(frame, wParam, lParam);
        }
    } catch (...) {
    }
    return DefDlgProcW(frame, message, wParam, lParam);
}

}  // namespace vestrel::wizard
