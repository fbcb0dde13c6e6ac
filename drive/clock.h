// Time as the drive and copy code sees it: a millisecond tick count, plain
// sleeps, and the wait that keeps the calling thread's window messages
// flowing (on Windows it pumps messages; elsewhere it simply sleeps).
// Tests install a clock of their own.
#pragma once

#include <cstdint>

namespace vestrel {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual uint32_t TickCount() = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
    // Waits until `milliseconds` have passed, dispatching the calling
    // thread's pending window messages meanwhile.
    virtual void WaitDispatchingMessages(uint32_t milliseconds) = 0;
};

Clock& PlatformClock();

// Install before any thread uses the clock; nullptr restores the platform's.
void InstallClock(Clock* clock);
Clock& ActiveClock();

}  // namespace vestrel
