// The drive lock: one process-wide lock that guards the engine's shared
// state and serialises capability queries and recorder set-up across
// drives. Single SCSI commands never take it. It is recursive, as a Win32
// critical section is, so a holder may call code that takes it again.
#pragma once

#include <mutex>

namespace vestrel {

std::recursive_mutex& DriveLock();

class DriveLockGuard {
  public:
    DriveLockGuard() : guard_(DriveLock()) {}
    DriveLockGuard(const DriveLockGuard&) = delete;
    DriveLockGuard& operator=(const DriveLockGuard&) = delete;

  private:
    std::lock_guard<std::recursive_mutex> guard_;
};

}  // namespace vestrel
