// Text without the blanks at either end, as the simulator reads the lines
// and fields of its text files (bay descriptions, cue sheets).
#pragma once

#include <string>
#include <string_view>

namespace vestrel::sim {

inline std::string Trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(b, e - b + 1));
}

}  // namespace vestrel::sim
