// The per-user uninstall entry: written by the installation, read checked
// at start, deleted with its subkeys by the removal.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace vestrel::installer {

// Contact, Publisher, DisplayName and UninstallString; failures ignored.
void WriteUninstallEntry(const std::wstring& uninstallCommand);

// The entry's "UninstallString" when it is a proper REG_SZ of at most
// 2048 bytes; nothing when the key or a sound value is missing.
std::optional<std::wstring> ReadUninstallCommand();

// Deletes the subkey of parent with all its subkeys; 0 or the first error.
LONG DeleteKeyTree(HKEY parent, const wchar_t* subkey);

}  // namespace vestrel::installer
