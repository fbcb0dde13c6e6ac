// t4kVestrel.exe: the computer's own drives, through the platform's
// pass-through transport and drive letters, which are active by default.
#include "wizard/back_end.h"

namespace vestrel::wizard {

bool StartBackEnd(HINSTANCE) {
    return true;
}

void FrameEnded() {}

}  // namespace vestrel::wizard
