#include "installer/registry_text.h"

namespace vestrel::installer {

std::optional<std::u16string> CheckedRegistryText(uint32_t type, const uint8_t* data, size_t size,
                                                  size_t capacity) {
    if (type != kRegistryTextType || size > capacity || size < 2 || size % 2 != 0 || !data)
        return std::nullopt;
    std::u16string units;
    for (size_t i = 0; i < size; i += 2)
        units.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    const size_t end = units.find(u'\0');
    if (end == std::u16string::npos || units.find_first_not_of(u'\0', end) != std::u16string::npos)
        return std::nullopt;
    units.resize(end);
    return units;
}

}  // namespace vestrel::installer
