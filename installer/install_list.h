// The install list: the files and folders an installation put into its
// install folder, kept in that folder so that the uninstaller deletes
// exactly those and nothing else.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vestrel::installer {

// The list's file name inside the install folder.
inline constexpr std::u16string_view kInstallListName = u"InstallList.txt";

// Paths relative to the install folder, backslash-separated.
struct InstallList {
    std::vector<std::u16string> files;
    std::vector<std::u16string> folders;  // created by the installer
};

// A path that names something inside the folder it is relative to: one or
// more components, none empty, ".", "..", ending in a dot or a space, or
// holding a character Windows does not allow in a name (: * ? " < > | /,
// control characters). Anything else could point outside the folder.
bool IsSafeRelativePath(std::u16string_view path);

// UTF-16LE with a byte-order mark: a header line, then one "F path" or
// "D path" line per entry, each ended by CR LF.
std::string FormatInstallList(const InstallList& list);
// Nothing when the bytes are not such a list: wrong header, an unknown or
// unsafe line, an odd byte count, or more than kMaxInstallListBytes.
std::optional<InstallList> ParseInstallList(std::string_view bytes);
inline constexpr size_t kMaxInstallListBytes = 4 * 1024 * 1024;

// The old list's entries followed by the added ones not already in it
// (names compared without regard to ASCII case).
InstallList MergeInstallLists(const InstallList& old, const InstallList& added);

// The folders ordered deepest first, so each one is empty (of ours) before
// its parent is removed.
std::vector<std::u16string> DeepestFirst(std::vector<std::u16string> folders);

// One entry of a folder ("." and ".." are not entries).
struct FolderEntry {
    std::u16string name;
    bool isFolder = false;
    bool isLink = false;  // junction, symbolic link: it leads elsewhere
};
using ReadFolder = std::function<std::vector<FolderEntry>(std::u16string_view folder)>;

// Every file below the package folder, relative to it, in the order found,
// each subfolder's files where the subfolder is found. Links are skipped:
// what they lead to is not part of the package, and a link to a folder
// above would make the listing endless. An installed copy's list and batch
// file at the top are not part of what is installed.
std::vector<std::u16string> ListPackageFiles(std::u16string_view root, const ReadFolder& read);

}  // namespace vestrel::installer
