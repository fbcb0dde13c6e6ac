// Version texts of the program's version resource, read without the window
// system: the four numbers of a version text and the short version shown.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vestrel {

struct VersionNumbers {
    int32_t major = 0;
    int32_t minor = 0;
    int32_t build = 0;
    int32_t revision = 0;
};

// The four numbers of "0.75.0.21", "2.1" or "1, 2, 3, 4": each of the first
// three ends at the next ",", or when there is none at the next "."; the
// fourth is the rest. Each is read like _wtoi (blanks, a sign, digits).
// Numbers after the last separator found are 0.
VersionNumbers ParseVersionNumbers(std::u16string_view text);

// The file version cut before its second "." (whole with fewer than two),
// then a blank and the special build when there is one: "0.75 BETA".
std::u16string DisplayVersion(std::u16string_view fileVersion, std::u16string_view specialBuild);

// The frame caption's ending " %d.%d %s": " 0.75 BETA" (" 0.75 " without
// a special build).
std::u16string CaptionVersion(const VersionNumbers& numbers, std::u16string_view specialBuild);

}  // namespace vestrel
