// The install list and the batch file on disk.
#pragma once

#include <optional>
#include <string>

#include "installer/install_list.h"

namespace vestrel::installer {

// The list in the file at `path`; nothing when it is missing, unreadable or
// malformed.
std::optional<InstallList> ReadInstallListFile(const std::wstring& path);

// Writes `bytes` to a new file at the path and flushes it to the disk.
// Whatever had the name before loses it first, a link as itself, so that
// nothing is written through a link (symbolic, junction or hard) planted
// there. False when the name is held by a folder or cannot be freed.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);

}  // namespace vestrel::installer
