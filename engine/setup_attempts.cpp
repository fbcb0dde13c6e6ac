#include "engine/setup_attempts.h"

#include <functional>
#include <random>
#include <thread>

#include "drive/clock.h"
#include "drive/drive_lock.h"

namespace vestrel {

namespace {

std::minstd_rand& ThreadGenerator() {
    thread_local std::minstd_rand generator(static_cast<std::minstd_rand::result_type>(
        ActiveClock().TickCount() ^ std::hash<std::thread::id>{}(std::this_thread::get_id())));
    return generator;
}

}  // namespace

uint32_t RandomBelow(uint32_t bound) {
    if (bound == 0)
        return 0;
    return std::uniform_int_distribution<uint32_t>(0, bound - 1)(ThreadGenerator());
}

void PauseRandomly(uint32_t baseMs, uint32_t spreadMs) {
    ActiveClock().Sleep(baseMs + RandomBelow(spreadMs));
}

bool TryUnderDriveLock(int attempts, const std::function<bool()>& attempt) {
    for (int i = 0; i < attempts; ++i) {
        PauseRandomly(0, kSetupPauseSpreadMs);
        DriveLockGuard lock;
        if (attempt())
            return true;
    }
    return false;
}

}  // namespace vestrel
