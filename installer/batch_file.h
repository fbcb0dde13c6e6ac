// The text of "DeleteEverything.bat", which removes an installation's
// files after the uninstaller has ended.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "installer/install_list.h"

namespace vestrel::installer {

inline constexpr std::u16string_view kBatchFileName = u"DeleteEverything.bat";

// A path as cmd will read it from the batch file: its bytes in the ANSI
// code page, or nothing when no bytes give back exactly that path (no
// best-fit letters, no default character).
using PathEncoder = std::function<std::optional<std::string>(std::u16string_view path)>;
// A path's short form, or empty when it has none.
using ShortPathOf = std::function<std::u16string(std::u16string_view path)>;

struct RemovalBatch {
    std::string bytes;
    // What cmd could not be told exactly, in either form: the uninstaller
    // deletes these files, then these folders when empty, itself.
    std::vector<std::u16string> filesLeftToUs;
    std::vector<std::u16string> foldersLeftToUs;
};

// "@echo off", 750 lines "dir c:\*.*" (time for the uninstaller to end),
// then one "del" per listed file, one "rd" per listed folder (deepest
// first; rd leaves a folder that is not empty), "del" of the list, and a
// last line that moves the batch file itself to %TEMP%, removes each of
// the folders removed last ("rd") and deletes the moved file. Every line
// ends with CR LF;
// "%" in a path is written "%%". A path without an exact encoding is
// written in its short form when that has one, else left to the
// uninstaller; the batch file then names itself "%~f0".
RemovalBatch BuildRemovalBatch(std::u16string_view installFolder, const InstallList& list,
                               const PathEncoder& encode, const ShortPathOf& shortPath,
                               const std::vector<std::u16string>& removedLast);

// The folders the batch file removes last, when they are left empty: the
// install folder, then its parent and grandparent when they are the
// publisher's two levels (level1\level2\folder, as in the default install
// folder; names compared without regard to ASCII case).
std::vector<std::u16string> FoldersRemovedLast(std::u16string_view installFolder,
                                               std::u16string_view level1,
                                               std::u16string_view level2);

}  // namespace vestrel::installer
