// A path's bytes for a batch file line, as cmd will read them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vestrel::installer {

// The path in the thread's ANSI code page without best-fit letters, but
// only when the bytes give back exactly the path both in that code page
// and in the OEM code page, which cmd reads batch files in. Nothing
// otherwise.
std::optional<std::string> EncodeBatchPath(std::u16string_view path);
// The same between two given code pages; for tests.
std::optional<std::string> EncodeBatchPathIn(std::u16string_view path, unsigned ansiCodePage,
                                             unsigned oemCodePage);

// The path's short form; empty when it has none that differs.
std::u16string ShortPath(std::u16string_view path);

}  // namespace vestrel::installer
