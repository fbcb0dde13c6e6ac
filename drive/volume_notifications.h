// Volume changes turned into drive list messages. The Windows frame feeds
// it the fields of its WM_DEVICECHANGE volume notifications; the simulator
// and other back ends feed it VolumeEvents. The frame passes on only what
// arrives while the select-drives page is the current page.
#pragma once

#include <cstdint>
#include <optional>

#include "drive/drive_letters.h"
#include "drive/inventory.h"

namespace vestrel {

// The fields of a Windows device notification that matter here.
constexpr uint32_t kDbtDeviceArrival = 0x8000;
constexpr uint32_t kDbtDeviceRemoveComplete = 0x8004;
constexpr uint32_t kDbtDevtypVolume = 0x00000002;
constexpr uint16_t kDbtfMedia = 0x0001;

// The event a volume notification stands for: the letter is the lowest of
// bits 0..25 set in the unit mask; a media flag makes it a disc change.
// Anything that is not a volume arrival or removal with a letter has none.
std::optional<VolumeEvent> VolumeEventFromNotification(uint32_t event, uint32_t deviceType,
                                                       uint32_t unitMask, uint16_t flags);

// Media changes wait before the row is refreshed, so that the drive has
// settled: an inserted disc 500 ms, a removed one 3000 ms.
constexpr uint32_t kMediaArrivalWaitMs = 500;
constexpr uint32_t kMediaRemovalWaitMs = 3000;

struct VolumeAction {
    DriveListMessage message;
    char16_t letter;
    uint32_t waitMilliseconds;  // before the message is sent

    friend bool operator==(const VolumeAction&, const VolumeAction&) = default;
};

// What the drive list should do about an event; none when the letter is not
// (or, for a disc removal, no longer) an optical drive. A drive removal
// needs no check: a letter without a row is ignored by the list.
std::optional<VolumeAction> VolumeActionFor(const VolumeEvent& event);

// Maps the event, waits while dispatching messages and sends the message.
void HandleVolumeEvent(const VolumeEvent& event, DriveListTarget& target);

}  // namespace vestrel
