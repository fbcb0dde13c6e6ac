#include "simulator/cd_sector.h"

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

}  // namespace vestrel::sim
