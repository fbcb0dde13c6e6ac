#include "drive/clock.h"

#include <atomic>

namespace vestrel {

namespace {
std::atomic<Clock*> g_installed{nullptr};
}  // namespace

void InstallClock(Clock* clock) {
    g_installed.store(clock);
}

Clock& ActiveClock() {
    Clock* c = g_installed.load();
    return c ? *c : PlatformClock();
}

}  // namespace vestrel
