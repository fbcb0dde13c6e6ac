#include "update/page_search.h"

#include <cstring>

namespace vestrel::update {

std::string_view TextUpToZero(const char* bytes, size_t size) {
    const void* zero = std::memchr(bytes, 0, size);
    return std::string_view(bytes, zero ? static_cast<const char*>(zero) - bytes : size);
}

std::optional<size_t> SearchPage(File& file, uint64_t& position,
                                 std::span<const std::string_view> patterns,
                                 std::span<char> workBuffer) {
    if (workBuffer.size() < 2)
        return std::nullopt;
    const size_t chunkBytes = workBuffer.size() - 1;
    for (;;) {
        uint32_t error = 0;
        const size_t got =
            file.Read(reinterpret_cast<uint8_t*>(workBuffer.data()), chunkBytes, error);
        if (got == 0)
            return std::nullopt;
        const std::string_view chunk = TextUpToZero(workBuffer.data(), got);
        for (size_t index = 0; index < patterns.size(); ++index) {
            const size_t at = chunk.find(patterns[index]);
            if (patterns[index].empty() || at == std::string_view::npos)
                continue;
            if (!file.Seek(position + at))
                return std::nullopt;
            position += at;
            return index;
        }
        position += got;
    }
}

}  // namespace vestrel::update
