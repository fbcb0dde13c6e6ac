// The drive back end a program of the wizard is linked with: the computer's
// own drives, or the simulator in the process. The wizard's code is the
// same with either.
#pragma once

#include <windows.h>

namespace vestrel::wizard {

// Sets the back end up before the start-up steps; whatever it must undo it
// registers to run after every exit step. False when the program cannot
// run (the person has been told why).
bool StartBackEnd(HINSTANCE instance);

// Called once the frame has ended, before the exit steps.
void FrameEnded();

}  // namespace vestrel::wizard
