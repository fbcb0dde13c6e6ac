// The per-user uninstall entry: written by the installation, read checked
// at start, deleted with its subkeys by the removal.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace vestrel::installer {

// What Windows' list of programs shows beside the name.
struct EntryDetails {
    std::wstring displayVersion;  // not written when empty
    std::wstring displayIcon;
    std::wstring installLocation;
    DWORD estimatedSizeKb = 0;
};

// Contact, Publisher, DisplayName and UninstallString, then the details,
// NoModify and NoRepair; failures ignored.
void WriteUninstallEntry(const std::wstring& uninstallCommand, const EntryDetails& details);

// The entry's "UninstallString" when it is a proper REG_SZ of at most
// 2048 bytes; nothing when the key or a sound value is missing.
std::optional<std::wstring> ReadUninstallCommand();

// Deletes the subkey of parent with all its subkeys; 0 or the first error.
LONG DeleteKeyTree(HKEY parent, const wchar_t* subkey);

}  // namespace vestrel::installer
