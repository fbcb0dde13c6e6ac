// Whether the drive lock is held, seen from a thread that does not hold it.
#pragma once

#include <functional>
#include <thread>
#include <vector>

#include "drive/clock.h"
#include "drive/drive_lock.h"
#include "tests/support/scripted_transport.h"

namespace vestrel::testing {

inline bool DriveLockIsHeld() {
    bool taken = false;
    std::thread other([&] {
        taken = DriveLock().try_lock();
        if (taken)
            DriveLock().unlock();
    });
    other.join();
    return !taken;
}

// A counting clock that also notes, for every sleep, whether the drive lock
// was held meanwhile.
class LockWatchingClock : public CountingClock {
  public:
    void Sleep(uint32_t ms) override {
        lockHeldDuringSleep.push_back(DriveLockIsHeld());
        CountingClock::Sleep(ms);
    }
    std::vector<bool> lockHeldDuringSleep;
};

// A scripted drive that notes, for every command, whether the drive lock
// was held while it ran.
struct LockWatchingDrive {
    explicit LockWatchingDrive(std::function<ScsiResult(const ScsiCommand&)> answer)
        : drive([this, answer](const ScsiCommand& c) {
              lockHeldDuringCommand.push_back(DriveLockIsHeld());
              return answer(c);
          }) {}
    std::vector<bool> lockHeldDuringCommand;
    ScriptedTransport drive;
};

}  // namespace vestrel::testing
