// A file held in memory, for the readers of downloaded pages; reads can be
// made to fail from a given position on.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "drive/file_system.h"

namespace vestrel::testing {

class MemoryFile : public File {
  public:
    explicit MemoryFile(std::string_view bytes, uint64_t failFrom = UINT64_MAX)
        : bytes_(bytes), failFrom_(failFrom) {}

    bool Write(const uint8_t* data, size_t size, uint32_t&) override {
        bytes_.append(reinterpret_cast<const char*>(data), size);
        return true;
    }
    size_t Read(uint8_t* data, size_t size, uint32_t& error) override {
        if (position_ >= failFrom_) {
            error = 5;
            return 0;
        }
        const uint64_t left = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
        const size_t count = static_cast<size_t>(std::min<uint64_t>(size, left));
        if (count > 0)
            std::memcpy(data, bytes_.data() + position_, count);
        position_ += count;
        return count;
    }
    bool Seek(uint64_t offset) override {
        position_ = offset;
        return true;
    }
    bool Size(uint64_t& size) override {
        size = bytes_.size();
        return true;
    }

  private:
    std::string bytes_;
    uint64_t failFrom_;
    uint64_t position_ = 0;
};

}  // namespace vestrel::testing
