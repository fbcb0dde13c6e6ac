// Which folders the uninstaller may delete files from, and the install
// folder as the installer and uninstaller take it from a text.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "installer/install_list.h"

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

// Whether an entry with these attributes and reparse tag leads elsewhere: a
// junction, symbolic link or other name surrogate. Other reparse points
// (compressed, deduplicated or cloud files) hold their own data. A reparse
// point reported without its tag is taken for a link.
bool LeadsElsewhere(uint32_t attributes, uint32_t reparseTag);

// Whether the path itself (not what it leads to) is a link.
using IsLinkQuery = std::function<bool(std::u16string_view path)>;

// A link in the folder or in a folder on the way to a listed entry (the
// listed folders included): deleting through it would delete whatever it
// leads to. A listed file that is itself a link is no danger, since
// deleting it removes only the link.
bool LinkOnListedPaths(std::u16string_view folder, const InstallList& list,
                       const IsLinkQuery& isLink);

}  // namespace vestrel::installer
