// The search through the downloaded page: chunk by chunk, each chunk on
// its own, patterns in the order given.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "drive/file_system.h"

namespace vestrel::update {

// The work buffer the page is read through; a chunk is one byte shorter.
inline constexpr size_t kWorkBufferBytes = 1048575;

// Searches from the file's current position, `position` bytes from its
// start. Each chunk (at most the buffer's size less one byte) is read on
// its own and taken up to its first zero byte; an occurrence split between
// two chunks is not seen. In a chunk the patterns are tried in list order,
// each over the whole chunk, and the first that occurs wins at its first
// occurrence. On a hit the file and `position` are at the first byte of
// that occurrence and the pattern's index is returned; nothing when a read
// fails or no data is left.
std::optional<size_t> SearchPage(File& file, uint64_t& position,
                                 std::span<const std::string_view> patterns,
                                 std::span<char> workBuffer);

// The bytes read into the buffer up to the first zero byte, as text.
std::string_view TextUpToZero(const char* bytes, size_t size);

}  // namespace vestrel::update
