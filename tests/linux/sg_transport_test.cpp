// The Linux back end on this machine's real device nodes.
#include <gtest/gtest.h>

#include <cerrno>

#include "drive/mmc_commands.h"
#include "drive/scsi_text.h"
#include "drive/system_error.h"
#include "drive/text.h"
#include "platform/linux/sg_transport.h"

namespace vestrel {
namespace {

TEST(LinuxDrives, LettersNameOpticalNodesFromD) {
    EXPECT_EQ(LinuxDevicePath(u'D'), "/dev/sr0");
    EXPECT_EQ(LinuxDevicePath(u'F'), "/dev/sr2");
    EXPECT_EQ(LinuxDevicePath(u'Z'), "/dev/sr22");
    EXPECT_EQ(LinuxDevicePath(u'C'), "");
    EXPECT_EQ(LinuxDevicePath(u'a'), "");
    EXPECT_EQ(LinuxDriveLetter(0), u'D');
    EXPECT_EQ(LinuxDriveLetter(22), u'Z');
    EXPECT_EQ(LinuxDriveLetter(23), 0);
}

TEST(LinuxDrives, ANodeThatCannotBeOpenedIsStatus24) {
    SgTransport transport([](char16_t) { return std::string("/nonexistent/sr9"); });
    InstallTransport(&transport);
    ScsiResult r = SendTestUnitReady(u'D');
    InstallTransport(nullptr);
    EXPECT_EQ(r.status, StatusOpenFailed);
    EXPECT_EQ(r.osError, 0u);
    EXPECT_EQ(ScsiStatusName(r.status), u"Reservation Conflict");
    EXPECT_FALSE(transport.AllowMediumRemoval(u'D'));
    transport.EjectMedium(u'D');  // nothing to do, nothing breaks
}

TEST(LinuxDrives, ALetterWithoutANodeIsStatus24) {
    EXPECT_EQ(SendTestUnitReady(u'B').status, StatusOpenFailed);
}

TEST(LinuxDrives, AFailedRequestIsStatus255WithErrno) {
    // /dev/null opens but knows no SG_IO.
    SgTransport transport([](char16_t) { return std::string("/dev/null"); });
    InstallTransport(&transport);
    std::vector<uint8_t> reply(96);
    ScsiResult r = SendInquiry(u'D', reply);
    InstallTransport(nullptr);
    EXPECT_EQ(r.status, StatusIoControlFailed);
    EXPECT_EQ(r.osError, static_cast<uint32_t>(ENOTTY));
    std::u16string details =
        FormatProbeDetails(ProbeFailureKind::IoControlError, 0x12, r.osError, r.status, 0, 0, 0);
    EXPECT_EQ(details,
              u"Error occurred in function DeviceIoControl() while executing command: "
              u"Inquiry.\r\n\r\nError code: (25) " +
                  SystemErrorText(ENOTTY));
    EXPECT_EQ(ToUtf8(SystemErrorText(ENOTTY)), "Inappropriate ioctl for device\r\n");
}

}  // namespace
}  // namespace vestrel
