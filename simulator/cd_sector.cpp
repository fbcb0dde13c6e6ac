#include "simulator/cd_sector.h"

#include <algorithm>

namespace vestrel::sim {

Msf LbaToMsf(int32_t lba) {
    int64_t f = int64_t{lba} + kLeadInFrames;
    if (f < 0)
        f = 0;
    int64_t minutes = f / kFramesPerMinute;
    int64_t rest = f - minutes * kFramesPerMinute;
    if (minutes > 255)
        return Msf{255, 59, 74};
    return Msf{static_cast<uint8_t>(minutes), static_cast<uint8_t>(rest / kFramesPerSecond),
               static_cast<uint8_t>(rest % kFramesPerSecond)};
}

int32_t MsfToLba(uint8_t minute, uint8_t second, uint8_t frame) {
    return minute * kFramesPerMinute + second * kFramesPerSecond + frame - kLeadInFrames;
}

Msf SignedLbaToMsf(int32_t lba) {
    if (lba >= -kLeadInFrames)
        return LbaToMsf(lba);
    const int32_t f = std::max(lba + kNegativeMsfFrames, kNegativeMsfMinute * kFramesPerMinute);
    return Msf{static_cast<uint8_t>(f / kFramesPerMinute),
               static_cast<uint8_t>(f / kFramesPerSecond % 60),
               static_cast<uint8_t>(f % kFramesPerSecond)};
}

int32_t SignedMsfToLba(uint8_t minute, uint8_t second, uint8_t frame) {
    const int32_t f = minute * kFramesPerMinute + second * kFramesPerSecond + frame;
    return minute >= kNegativeMsfMinute ? f - kNegativeMsfFrames : f - kLeadInFrames;
}

}  // namespace vestrel::sim
