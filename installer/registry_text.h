// A registry value read as text, checked: any program of the user can
// write the uninstall entry, and the installer runs elevated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vestrel::installer {

inline constexpr uint32_t kRegistryTextType = 1;  // REG_SZ

// The text of a value of the given type and bytes, read into a buffer of
// capacity bytes. Nothing unless the type is REG_SZ, the data fitted the
// buffer, is whole UTF-16 units, and is ended by a zero with only zeros
// after it.
std::optional<std::u16string> CheckedRegistryText(uint32_t type, const uint8_t* data, size_t size,
                                                  size_t capacity);

}  // namespace vestrel::installer
