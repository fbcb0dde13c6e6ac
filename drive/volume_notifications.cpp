#include "drive/volume_notifications.h"

#include "drive/clock.h"

namespace vestrel {

namespace {

constexpr int kLetterCount = 26;

bool IsOptical(char16_t letter) {
    return ActiveDriveLetters().DriveType(letter) == DriveKind::CdRom;
}

}  // namespace

std::optional<VolumeEvent> VolumeEventFromNotification(uint32_t event, uint32_t deviceType,
                                                       uint32_t unitMask, uint16_t flags) {
    if (deviceType != kDbtDevtypVolume)
        return std::nullopt;
    const bool media = (flags & kDbtfMedia) != 0;
    VolumeEventKind kind;
    if (event == kDbtDeviceArrival)
        kind = media ? VolumeEventKind::MediaArrival : VolumeEventKind::DeviceArrival;
    else if (event == kDbtDeviceRemoveComplete)
        kind = media ? VolumeEventKind::MediaRemoval : VolumeEventKind::DeviceRemoval;
    else
        return std::nullopt;
    for (int bit = 0; bit < kLetterCount; ++bit) {
        if ((unitMask >> bit) & 1u)
            return VolumeEvent{kind, static_cast<char16_t>(u'A' + bit)};
    }
    return std::nullopt;
}

std::optional<VolumeAction> VolumeActionFor(const VolumeEvent& event) {
    const char16_t letter = event.letter;
    if (letter < u'A' || letter > u'Z')
        return std::nullopt;
    switch (event.kind) {
        case VolumeEventKind::DeviceArrival:
            if (IsOptical(letter))
                return VolumeAction{DriveListMessage::AddDriveRow, letter, 0};
            break;
        case VolumeEventKind::MediaArrival:
            if (IsOptical(letter))
                return VolumeAction{DriveListMessage::RefreshDriveRow, letter, kMediaArrivalWaitMs};
            break;
        case VolumeEventKind::DeviceRemoval:
            return VolumeAction{DriveListMessage::RemoveDriveRow, letter, 0};
        case VolumeEventKind::MediaRemoval:
            if (IsOptical(letter))
                return VolumeAction{DriveListMessage::RefreshDriveRow, letter, kMediaRemovalWaitMs};
            break;
    }
    return std::nullopt;
}

void HandleVolumeEvent(const VolumeEvent& event, DriveListTarget& target) {
    std::optional<VolumeAction> action = VolumeActionFor(event);
    if (!action)
        return;
    if (action->waitMilliseconds > 0)
        ActiveClock().WaitDispatchingMessages(action->waitMilliseconds);
    target.Receive(action->message, action->letter);
}

}  // namespace vestrel
