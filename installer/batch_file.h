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
// first; rd leaves a folder that is not empty), "del" of the list and of
// the batch file itself. Every line ends with CR LF; "%" in a path is
// written "%%". A path without an exact encoding is written in its short
// form when that has one, else left to the uninstaller; the batch file
// then deletes itself as "%~f0".
RemovalBatch BuildRemovalBatch(std::u16string_view installFolder, const InstallList& list,
                               const PathEncoder& encode, const ShortPathOf& shortPath);

}  // namespace vestrel::installer
