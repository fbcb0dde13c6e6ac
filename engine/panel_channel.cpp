#include "engine/panel_channel.h"

#include "drive/clock.h"
#include "drive/drive_lock.h"

namespace vestrel {

namespace {

// The one value all workers share for rationing progress; guarded by the
// drive lock.
struct LastProgress {
    bool any = false;
    uint32_t tick = 0;
};

LastProgress& Last() {
    static LastProgress last;
    return last;
}

}  // namespace

bool ProgressUpdateDue(uint32_t position) {
    DriveLockGuard lock;
    const uint32_t now = ActiveClock().TickCount();
    LastProgress& last = Last();
    const bool due = position == 0 || position == 1000 || !last.any ||
                     static_cast<int32_t>(now - last.tick) < 0 || now - last.tick >= 500;
    if (due) {
        last.any = true;
        last.tick = now;
    }
    return due;
}

void ResetProgressRationing() {
    DriveLockGuard lock;
    Last() = LastProgress{};
}

}  // namespace vestrel
