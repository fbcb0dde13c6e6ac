// CD sector layout (ECMA-130): absolute time, BCD, and the Mode 1 raw
// sector a drive records for 2048 bytes of user data, with its EDC and the
// P and Q parity of the Reed-Solomon product code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vestrel::sim {

constexpr uint32_t kRawSectorSize = 2352;
constexpr uint32_t kUserDataSize = 2048;
constexpr uint32_t kUserDataOffset = 16;  // after sync and header
constexpr int32_t kFramesPerSecond = 75;
constexpr int32_t kFramesPerMinute = 60 * 75;
constexpr int32_t kLeadInFrames = 150;  // LBA 0 is 00:02:00

struct Msf {
    uint8_t minute = 0;
    uint8_t second = 0;
    uint8_t frame = 0;
};

// Absolute time of an LBA (LBA + 150 frames), minutes capped at 255.
Msf LbaToMsf(int32_t lba);
int32_t MsfToLba(uint8_t minute, uint8_t second, uint8_t frame);
uint8_t ToBcd(uint8_t value);

// The EDC of ECMA-130 (CRC-32 with polynomial x^32+x^31+x^16+x^15+x^4+x^3+x+1,
// bits taken least significant first).
uint32_t SectorEdc(std::span<const uint8_t> bytes);

// Builds the 2352-byte Mode 1 sector for `lba` around 2048 bytes of user
// data: sync, header (BCD MSF, mode 1), user data, EDC, zero, P and Q parity.
void BuildMode1Sector(int32_t lba, std::span<const uint8_t> userData, std::span<uint8_t> raw);

// The parity bytes for bytes 12..2075 of `raw`: 172 P bytes at 2076, then
// 104 Q bytes at 2248.
void ComputeSectorEcc(std::span<uint8_t> raw);

}  // namespace vestrel::sim
