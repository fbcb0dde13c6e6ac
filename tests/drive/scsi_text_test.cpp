#include <gtest/gtest.h>

#include "drive/scsi_text.h"

namespace vestrel {
namespace {

TEST(ScsiText, NamesOfStatusesAndCommands) {
    EXPECT_EQ(ScsiStatusName(1), u"Unknown status");
    EXPECT_EQ(ScsiStatusName(255), u"DeviceIoControl() error");
    EXPECT_EQ(ScsiStatusName(24), u"Reservation Conflict");
    EXPECT_EQ(ScsiStatusName(0x14), u"Intermediate - Condition Met");
    EXPECT_EQ(ScsiStatusName(0x40), u"Task Aborted");
    EXPECT_EQ(CommandName(0x28), u"Unknown command");
    EXPECT_EQ(CommandName(0x5A), u"Mode Sense (10)");
    EXPECT_EQ(CommandName(0x00), u"Test Unit Ready");
}

TEST(ScsiText, ScsiErrorDetails) {
    EXPECT_EQ(FormatProbeDetails(ProbeFailureKind::ScsiError, 0x46, 0, 2, 5, 0x20, 0, u""),
              u"Error occurred while executing command: Get Configuration.\r\n\r\n"
              u"SCSI status: (0x2) Check Condition\r\n"
              u"SenseKey: 0x5   \tASC: 0x20   \tASCQ: 0x0");
}

TEST(ScsiText, NotOpticalDetails) {
    EXPECT_EQ(FormatProbeDetails(ProbeFailureKind::NotOptical, 0x12, 0, 24, 0, 0, 0, u""),
              u"This drive is not a real optical drive.\r\n\r\n"
              u"Error occurred while executing command: Inquiry.\r\n"
              u"SCSI status: (0x18) Reservation Conflict\r\n"
              u"SenseKey: 0x0   \tASC: 0x0   \tASCQ: 0x0");
}

TEST(ScsiText, IoControlDetailsCarryTheSystemMessageAsItComes) {
    EXPECT_EQ(FormatProbeDetails(ProbeFailureKind::IoControlError, 0x00, 0xFFFFFFFF, 255, 0, 0, 0,
                                 u"The device is not ready.\r\n"),
              u"Error occurred in function DeviceIoControl() while executing command: "
              u"Test Unit Ready.\r\n\r\nError code: (-1) The device is not ready.\r\n");
    // The platform supplies its own message when none is given.
    std::u16string own =
        FormatProbeDetails(ProbeFailureKind::IoControlError, 0x5A, 5, 255, 0, 0, 0);
    EXPECT_EQ(own.rfind(u"Error occurred in function DeviceIoControl() while executing command: "
                        u"Mode Sense (10).\r\n\r\nError code: (5) ",
                        0),
              0u);
    EXPECT_GT(own.size(), 100u);
}

}  // namespace
}  // namespace vestrel
