// Which folders the uninstaller may delete files from, and the install
// folder as the installer and uninstaller take it from a text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vestrel::installer {

enum class FolderVerdict {
    Allowed,
    NotAbsolute,      // relative, device or "\\?\" path, or "." and ".." components
    DriveRoot,        // "C:\" or a share's root "\\server\share"
    ProtectedFolder,  // a system or profile folder, or one that holds one
};

// The folder is compared with each protected folder without regard to
// ASCII case (the caller folds other letters) and ignoring trailing
// backslashes; it may not be one of them nor lie above one.
FolderVerdict CheckRemovalFolder(std::u16string_view folder,
                                 const std::vector<std::u16string>& protectedFolders);

// The install folder as typed: surrounding spaces dropped, "/" read as
// "\", trailing backslashes dropped (a drive's "C:\" stays).
std::u16string NormaliseFolder(std::u16string_view text);

// The install folder of an uninstall command: the text before its last
// backslash; nothing when it has none.
std::optional<std::u16string> FolderOfCommand(std::u16string_view command);

}  // namespace vestrel::installer
