// Linux has no per-thread request to stay awake; desktop environments
// inhibit sleep through their own services, which the copier leaves alone.
#include "drive/power.h"

namespace vestrel {

void KeepSystemAwake(bool) {}

}  // namespace vestrel
