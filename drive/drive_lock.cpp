#include "drive/drive_lock.h"

namespace vestrel {

std::recursive_mutex& DriveLock() {
    static std::recursive_mutex lock;
    return lock;
}

}  // namespace vestrel
