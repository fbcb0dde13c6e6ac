// Starting a program as the user's desktop would.
#pragma once

#include <string>

namespace vestrel::installer {

// Asks the desktop's shell (Explorer) to open the program, so that it runs
// with the user's own rights rather than the elevated ones of the caller.
// False when there is no such shell to ask; COM must be initialised
// (apartment-threaded).
bool OpenFromDesktop(const std::wstring& path);

}  // namespace vestrel::installer
