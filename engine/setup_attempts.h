// Random pauses and the bounded attempts of recorder set-up. Threads that
// start together would otherwise reach their drives in lock step; a short
// random pause spreads them. Speed selection and write parameters are each
// tried a fixed number of times, every attempt under the drive lock so that
// only one recorder is configured at a time.
#pragma once

#include <cstdint>
#include <functional>

namespace vestrel {

constexpr int kSetupAttempts = 5;
constexpr uint32_t kSetupPauseSpreadMs = 100;

// A random number in [0, bound); 0 when bound is 0. Each thread draws from
// its own generator, seeded from the tick count and the thread.
uint32_t RandomBelow(uint32_t bound);

// Sleeps baseMs plus a random 0..spreadMs-1 ms on the active clock.
void PauseRandomly(uint32_t baseMs, uint32_t spreadMs);

// Up to `attempts` tries of `attempt`: before each a random 0..99 ms pause
// without the lock, then the attempt with the drive lock held. True at the
// first attempt that succeeds.
bool TryUnderDriveLock(int attempts, const std::function<bool()>& attempt);

}  // namespace vestrel
