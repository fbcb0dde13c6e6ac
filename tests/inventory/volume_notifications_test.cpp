// Volume notifications turned into drive list messages.
#include <gtest/gtest.h>

#include "drive/volume_notifications.h"
#include "tests/support/fake_drives.h"

namespace vestrel {
namespace {

using namespace vestrel::testing;
using Kind = VolumeEventKind;
using Msg = DriveListMessage;

TEST(VolumeNotifications, LowestLetterOfTheMaskAndTheMediaFlagMakeTheEvent) {
    auto event =
        VolumeEventFromNotification(kDbtDeviceArrival, kDbtDevtypVolume, (1u << 4) | (1u << 6), 0);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->kind, Kind::DeviceArrival);
    EXPECT_EQ(event->letter, u'E');

    event = VolumeEventFromNotification(kDbtDeviceArrival, kDbtDevtypVolume, 1u << 25, kDbtfMedia);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->kind, Kind::MediaArrival);
    EXPECT_EQ(event->letter, u'Z');

    event = VolumeEventFromNotification(kDbtDeviceRemoveComplete, kDbtDevtypVolume, 1, 0);
    EXPECT_EQ(event->kind, Kind::DeviceRemoval);
    event = VolumeEventFromNotification(kDbtDeviceRemoveComplete, kDbtDevtypVolume, 1, kDbtfMedia);
    EXPECT_EQ(event->kind, Kind::MediaRemoval);

    // Not a volume, another event, or no letter among bits 0..25.
    EXPECT_FALSE(VolumeEventFromNotification(kDbtDeviceArrival, 5, 1, 0));
    EXPECT_FALSE(VolumeEventFromNotification(0x8001, kDbtDevtypVolume, 1, 0));
    EXPECT_FALSE(VolumeEventFromNotification(kDbtDeviceArrival, kDbtDevtypVolume, 0, 0));
    EXPECT_FALSE(VolumeEventFromNotification(kDbtDeviceArrival, kDbtDevtypVolume, 1u << 26, 0));
}

TEST(VolumeNotifications, ActionsDependOnTheDriveTypeAndMediaChangesWait) {
    FakeDrives drives;
    drives.Add(u'E', DvdRecorder());
    drives.Add(u'C', FakeDrive{}).kind = DriveKind::Fixed;

    using Action = std::optional<VolumeAction>;
    EXPECT_EQ(VolumeActionFor({Kind::DeviceArrival, u'E'}), (Action{{Msg::AddDriveRow, u'E', 0}}));
    EXPECT_EQ(VolumeActionFor({Kind::MediaArrival, u'E'}),
              (Action{{Msg::RefreshDriveRow, u'E', 500}}));
    EXPECT_EQ(VolumeActionFor({Kind::MediaRemoval, u'E'}),
              (Action{{Msg::RefreshDriveRow, u'E', 3000}}));
    // A removed drive has no type left to check.
    EXPECT_EQ(VolumeActionFor({Kind::DeviceRemoval, u'G'}),
              (Action{{Msg::RemoveDriveRow, u'G', 0}}));

    // A hard disc, and a letter that no longer is an optical drive.
    EXPECT_EQ(VolumeActionFor({Kind::DeviceArrival, u'C'}), std::nullopt);
    EXPECT_EQ(VolumeActionFor({Kind::MediaArrival, u'C'}), std::nullopt);
    EXPECT_EQ(VolumeActionFor({Kind::MediaRemoval, u'G'}), std::nullopt);
    EXPECT_EQ(VolumeActionFor({Kind::DeviceArrival, u'?'}), std::nullopt);
}

TEST(VolumeNotifications, HandlingWaitsDispatchingMessagesBeforeSending) {
    FakeDrives drives;
    drives.Add(u'E', DvdRecorder());
    drives.Add(u'C', FakeDrive{}).kind = DriveKind::Fixed;
    CountingClock clock;
    struct Target : DriveListTarget {
        void Receive(DriveListMessage m, char16_t letter) override {
            sent.push_back({m, letter, clock->now});
        }
        CountingClock* clock;
        std::vector<VolumeAction> sent;  // waitMilliseconds: the time it was sent
    } target;
    target.clock = &clock;

    HandleVolumeEvent({Kind::MediaRemoval, u'E'}, target);
    HandleVolumeEvent({Kind::DeviceArrival, u'C'}, target);
    HandleVolumeEvent({Kind::DeviceRemoval, u'E'}, target);
    EXPECT_EQ(clock.dispatchingWaits, std::vector<uint32_t>{3000});
    EXPECT_EQ(target.sent, (std::vector<VolumeAction>{{Msg::RefreshDriveRow, u'E', 3000},
                                                      {Msg::RemoveDriveRow, u'E', 3000}}));
}

}  // namespace
}  // namespace vestrel
