// The Linux clock: monotonic milliseconds; there are no window messages to
// dispatch, so the dispatching wait is a plain sleep.
#include <chrono>
#include <thread>

#include "drive/clock.h"

namespace vestrel {

namespace {

class LinuxClock : public Clock {
  public:
    uint32_t TickCount() override {
        auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    void Sleep(uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    void WaitDispatchingMessages(uint32_t milliseconds) override { Sleep(milliseconds); }
};

}  // namespace

Clock& PlatformClock() {
    static LinuxClock clock;
    return clock;
}

}  // namespace vestrel
