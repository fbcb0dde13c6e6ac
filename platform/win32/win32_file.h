// A file of the project's file interface over an open Windows handle.
#pragma once

#include <windows.h>

#include <memory>

#include "drive/file_system.h"

namespace vestrel {

// Takes `handle` over and closes it with the file.
std::unique_ptr<File> FileFromHandle(HANDLE handle);

}  // namespace vestrel
