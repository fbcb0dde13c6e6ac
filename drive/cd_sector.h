// The Mode 1 raw sector of ECMA-130 that a CD holds around 2048 bytes of
// user data: sync, header, user data, EDC, and the P and Q parity of the
// Reed-Solomon product code. Raw CD images (bin files) and the simulated
// drives are built from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vestrel {

constexpr uint32_t kRawSectorBytes = 2352;
constexpr uint32_t kMode1UserDataOffset = 16;  // after sync and header

uint8_t ToBcd(uint8_t value);

// The EDC of ECMA-130 (CRC-32 with polynomial x^32+x^31+x^16+x^15+x^4+x^3+x+1,
// bits taken least significant first).
uint32_t SectorEdc(std::span<const uint8_t> bytes);

// Builds the 2352-byte Mode 1 sector for `lba` around 2048 bytes of user
// data: sync, header (BCD absolute time, mode 1), user data, EDC, zero, P
// and Q parity. Nothing happens when `raw` is shorter than a sector; user
// data beyond 2048 bytes is ignored, missing bytes are zeros.
void BuildMode1Sector(int32_t lba, std::span<const uint8_t> userData, std::span<uint8_t> raw);

// The parity bytes for bytes 12..2075 of `raw`: 172 P bytes at 2076, then
// 104 Q bytes at 2248.
void ComputeSectorEcc(std::span<uint8_t> raw);

}  // namespace vestrel
