// SHA-256 (FIPS 180-4), fed in pieces of any size, for the fingerprints of
// image files that reports print and journals check again on resume.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vestrel {

class Sha256 {
  public:
    Sha256();
    void Add(const uint8_t* data, size_t size);
    // The digest of everything added; the object is spent afterwards.
    std::array<uint8_t, 32> Finish();
    // The digest as 64 lowercase hex digits.
    std::string FinishHex();

  private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> pending_{};
    size_t pendingBytes_ = 0;
    uint64_t totalBytes_ = 0;
};

std::string Sha256Hex(std::string_view bytes);

}  // namespace vestrel
