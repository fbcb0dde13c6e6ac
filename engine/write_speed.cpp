#include "engine/write_speed.h"

#include <algorithm>
#include <vector>

#include "drive/cdb.h"
#include "drive/mmc_commands.h"
#include "drive/replies.h"
#include "drive/text.h"
#include "engine/setup_attempts.h"
#include "engine/write_parameters.h"

namespace vestrel {

namespace {

constexpr uint32_t kCdSpeedStep = 150;
constexpr uint32_t kDvdSpeedStep = 1352;
constexpr uint32_t kOtherSpeedStep = 4394;
// SET CD SPEED carries 16 bits; FFFFh asks for the drive's maximum.
constexpr uint32_t kLargestCdSpeedField = 0xFFFF;

uint32_t SpeedStep(DiscType blank) {
    if (IsCdBlank(blank))
        return kCdSpeedStep;
    if (blank & disc::WritableDvdTypes)
        return kDvdSpeedStep;
    return kOtherSpeedStep;
}

bool WriteSpeedAttempt(char16_t letter, DiscType blank, uint32_t* writeSpeed) {
    std::vector<uint8_t> reply(kPerformanceLength);
    if (!SendGetPerformance(letter, reply).ok())
        return false;
    const std::optional<SpeedChoice> choice = ChooseWriteSpeed(ByteReader(reply), blank);
    if (!choice)
        return false;
    EmitDiagnostic(FormatText(u"New speeds: Reading: %d, Writing: %d",
                              {choice->readSpeed, choice->writeSpeed}));
    const uint16_t cdSpeed =
        static_cast<uint16_t>(std::min(choice->writeSpeed, kLargestCdSpeedField));
    const bool speedSet = SendSetCdSpeed(letter, cdSpeed).ok();
    const bool streamingSet =
        SendSetStreaming(letter, choice->readSpeed, choice->writeSpeed, false).ok();
    if (writeSpeed)
        *writeSpeed = choice->writeSpeed;
    return speedSet && streamingSet;
}

}  // namespace

std::optional<SpeedChoice> ChooseWriteSpeed(ByteReader performanceReply, DiscType blank) {
    const std::vector<WriteSpeedDescriptor> speeds = ReadWriteSpeeds(performanceReply);
    if (speeds.empty())
        return std::nullopt;
    SpeedChoice choice;
    choice.readSpeed = speeds[0].readSpeed;
    if (speeds.size() >= 2) {
        choice.writeSpeed = speeds[1].writeSpeed;
    } else {
        const uint32_t fastest = speeds[0].writeSpeed;
        const uint32_t step = SpeedStep(blank);
        choice.writeSpeed = fastest > step ? fastest - step : fastest;
    }
    return choice;
}

bool SelectWriteSpeed(char16_t letter, DiscType blank, uint32_t* writeSpeed) {
    return TryUnderDriveLock(kSetupAttempts,
                             [&] { return WriteSpeedAttempt(letter, blank, writeSpeed); });
}

void RestoreStreamingDefaults(char16_t letter) {
    SendSetStreaming(letter, 0, 0, true);
}

}  // namespace vestrel
