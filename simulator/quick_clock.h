// A clock on which sleeps pass at once: the tick count moves on by what was
// slept, so that a drive busy for minutes, or a program's own waits, cost
// no time. Installed for its lifetime.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "drive/clock.h"

namespace vestrel::sim {

class QuickClock : public Clock {
  public:
    QuickClock() : previous_(&ActiveClock()) { InstallClock(this); }
    ~QuickClock() override { InstallClock(previous_ == &PlatformClock() ? nullptr : previous_); }
    QuickClock(const QuickClock&) = delete;
    QuickClock& operator=(const QuickClock&) = delete;
    uint32_t TickCount() override { return now_.load(); }
    void Sleep(uint32_t ms) override {
        now_ += ms;
        std::this_thread::yield();
    }
    void WaitDispatchingMessages(uint32_t ms) override { Sleep(ms); }

  private:
    Clock* previous_;
    std::atomic<uint32_t> now_{1000};
};

}  // namespace vestrel::sim
