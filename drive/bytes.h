// Field helpers for the byte layouts the drives and the OS speak: CDBs and
// replies are big-endian, Windows structures and RIFF headers little-endian.
// Readers are bounded: a field that does not lie wholly inside the bytes
// really received reads as 0, the same value a reply that stopped short
// leaves in a zero-cleared buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vestrel {

// The field readers are always inlined: instrumented builds (sanitizers,
// fuzzing) would otherwise call them out of line for every byte read.
class ByteReader {
  public:
    constexpr ByteReader() = default;
    constexpr ByteReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
    constexpr ByteReader(std::span<const uint8_t> bytes)
        : data_(bytes.data()), size_(bytes.size()) {}

    constexpr size_t size() const { return size_; }
    constexpr const uint8_t* data() const { return data_; }

    // True when [offset, offset + count) lies inside the view.
    [[gnu::always_inline]] constexpr bool Has(size_t offset, size_t count) const {
        return offset <= size_ && count <= size_ - offset;
    }

    // A view of [offset, offset + count), clipped to what exists.
    [[gnu::always_inline]] constexpr ByteReader Sub(size_t offset, size_t count) const {
        if (offset >= size_)
            return ByteReader(data_ + size_, 0);
        size_t avail = size_ - offset;
        return ByteReader(data_ + offset, count < avail ? count : avail);
    }

    [[gnu::always_inline]] constexpr uint8_t U8(size_t offset) const {
        return Has(offset, 1) ? data_[offset] : 0;
    }
    [[gnu::always_inline]] constexpr bool Bit(size_t offset, unsigned bit) const {
        return (U8(offset) >> bit) & 1u;
    }

    [[gnu::always_inline]] constexpr uint16_t Be16(size_t offset) const {
        if (!Has(offset, 2))
            return 0;
        return static_cast<uint16_t>((data_[offset] << 8) | data_[offset + 1]);
    }
    [[gnu::always_inline]] constexpr uint32_t Be24(size_t offset) const {
        if (!Has(offset, 3))
            return 0;
        return (uint32_t{data_[offset]} << 16) | (uint32_t{data_[offset + 1]} << 8) |
               data_[offset + 2];
    }
    [[gnu::always_inline]] constexpr uint32_t Be32(size_t offset) const {
        if (!Has(offset, 4))
            return 0;
        return (uint32_t{data_[offset]} << 24) | (uint32_t{data_[offset + 1]} << 16) |
               (uint32_t{data_[offset + 2]} << 8) | data_[offset + 3];
    }
    [[gnu::always_inline]] constexpr uint16_t Le16(size_t offset) const {
        if (!Has(offset, 2))
            return 0;
        return static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
    }
    [[gnu::always_inline]] constexpr uint32_t Le32(size_t offset) const {
        if (!Has(offset, 4))
            return 0;
        return data_[offset] | (uint32_t{data_[offset + 1]} << 8) |
               (uint32_t{data_[offset + 2]} << 16) | (uint32_t{data_[offset + 3]} << 24);
    }
    [[gnu::always_inline]] constexpr uint64_t Le64(size_t offset) const {
        if (!Has(offset, 8))
            return 0;
        return uint64_t{Le32(offset)} | (uint64_t{Le32(offset + 4)} << 32);
    }

  private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

// Writers. A field that would not fit is not written; the builders only
// write fixed offsets into blocks of fixed size, so this never trims a
// correct layout.
class ByteWriter {
  public:
    constexpr ByteWriter(uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
    constexpr ByteWriter(std::span<uint8_t> bytes) : data_(bytes.data()), size_(bytes.size()) {}

    constexpr size_t size() const { return size_; }
    constexpr bool Has(size_t offset, size_t count) const {
        return offset <= size_ && count <= size_ - offset;
    }

    constexpr void U8(size_t offset, uint8_t v) {
        if (Has(offset, 1))
            data_[offset] = v;
    }
    constexpr void Be16(size_t offset, uint16_t v) { Big(offset, 2, v); }
    constexpr void Be24(size_t offset, uint32_t v) { Big(offset, 3, v); }
    constexpr void Be32(size_t offset, uint32_t v) { Big(offset, 4, v); }
    constexpr void Le16(size_t offset, uint16_t v) { Little(offset, 2, v); }
    constexpr void Le32(size_t offset, uint32_t v) { Little(offset, 4, v); }
    constexpr void Le64(size_t offset, uint64_t v) { Little(offset, 8, v); }

  private:
    // The low `count` bytes of `v`, most significant first.
    constexpr void Big(size_t offset, size_t count, uint64_t v) {
        if (!Has(offset, count))
            return;
        for (size_t i = 0; i < count; ++i)
            data_[offset + i] = static_cast<uint8_t>(v >> (8 * (count - 1 - i)));
    }
    // The low `count` bytes of `v`, least significant first.
    constexpr void Little(size_t offset, size_t count, uint64_t v) {
        if (!Has(offset, count))
            return;
        for (size_t i = 0; i < count; ++i)
            data_[offset + i] = static_cast<uint8_t>(v >> (8 * i));
    }

    uint8_t* data_;
    size_t size_;
};

}  // namespace vestrel
