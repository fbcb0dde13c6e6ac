// The uninstaller: the check for a previous installation at start, and the
// removal routine that also serves as the roll-back of a cancelled
// installation.
#pragma once

#include <string>

namespace vestrel::installer {

// Runs before any window exists. Remembers a sound uninstall command of the
// entry; when it names a folder whose wizard is the paired build, asks
// "Uninstall t4k Vestrel™?", removes on Yes, and ends the process (code 0)
// for either answer. Returns when the installer dialog should follow.
void CheckPreviousInstallation();

// Deletes the uninstall entry and the three shortcuts; then, when the
// command names a folder that holds an install list, is neither a drive
// root nor a system or profile folder, and has no link on the way to a
// listed entry, writes the removal batch file there and starts it hidden.
// Reports nothing.
void RunRemoval(const std::wstring& uninstallCommand);

}  // namespace vestrel::installer
