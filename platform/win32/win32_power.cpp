#include <windows.h>

#include "drive/power.h"

namespace vestrel {

void KeepSystemAwake(bool awake) {
    SetThreadExecutionState(awake ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_AWAYMODE_REQUIRED
                                  : ES_CONTINUOUS);
}

}  // namespace vestrel
