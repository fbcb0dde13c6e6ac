// CD sector layout (ECMA-130): absolute time, and the Mode 1 raw sector a
// drive records for 2048 bytes of user data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "drive/cd_sector.h"

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
// Times as ATIP gives them, where minutes from 90 on stand for the LBAs
// before 0 (90:00:00 is LBA -450150 + 405000 = -45150).
constexpr int32_t kNegativeMsfFrames = 450150;
constexpr uint8_t kNegativeMsfMinute = 90;
Msf SignedLbaToMsf(int32_t lba);
int32_t SignedMsfToLba(uint8_t minute, uint8_t second, uint8_t frame);

// The Mode 1 sector builder and its parts (drive/cd_sector.h).
using vestrel::BuildMode1Sector;
using vestrel::ComputeSectorEcc;
using vestrel::SectorEdc;
using vestrel::ToBcd;

}  // namespace vestrel::sim
