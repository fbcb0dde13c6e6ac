// The install list and the batch file on disk.
#pragma once

#include <optional>
#include <string>

#include "installer/install_list.h"

namespace vestrel::installer {

// The list in the file at `path`; nothing when it is missing, unreadable or
// malformed.
std::optional<InstallList> ReadInstallListFile(const std::wstring& path);

// Replaces the file's content with `bytes` and flushes it to the disk.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);

}  // namespace vestrel::installer
