// Whether the drive lock is held, seen from a thread that does not hold it.
#pragma once

#include <gtest/gtest.h>

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

// What a command retried on refusal leaves: `attempts` pauses shorter than
// 100 ms, none under the drive lock, and every command under it.
inline void ExpectRetriesUnderTheLock(const LockWatchingClock& clock,
                                      const LockWatchingDrive& drive, size_t attempts) {
    ASSERT_EQ(clock.sleeps.size(), attempts);
    for (uint32_t ms : clock.sleeps)
        EXPECT_LT(ms, 100u);
    for (bool held : clock.lockHeldDuringSleep)
        EXPECT_FALSE(held);
    for (bool held : drive.lockHeldDuringCommand)
        EXPECT_TRUE(held);
}

}  // namespace vestrel::testing
