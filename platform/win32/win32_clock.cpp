// The Windows clock. Its dispatching wait keeps the calling thread's window
// messages flowing, so a user-interface thread that waits stays responsive.
#include <windows.h>

#include "drive/clock.h"

namespace vestrel {

namespace {

class Win32Clock : public Clock {
  public:
    uint32_t TickCount() override { return GetTickCount(); }
    void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }

    void WaitDispatchingMessages(uint32_t milliseconds) override {
        const DWORD start = GetTickCount();
        for (;;) {
            const DWORD elapsed = GetTickCount() - start;
            if (elapsed >= milliseconds)
                return;
            MSG msg;
            if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
                continue;
            }
            // Sleep until a message arrives or the time is up, rather than
            // spinning on the tick count.
            MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
        }
    }
};

}  // namespace

Clock& PlatformClock() {
    static Win32Clock clock;
    return clock;
}

}  // namespace vestrel
