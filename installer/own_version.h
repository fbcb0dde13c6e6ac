// The four fields of a file's fixed file version.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vestrel::installer {

// Major, minor, third and fourth field; all 0 when the file has no
// readable version. The path is read in its short form when it has one.
std::array<uint16_t, 4> FileVersionFields(const std::wstring& path);

}  // namespace vestrel::installer
