// Probe outcomes and the details texts of unusable drives.
#include <gtest/gtest.h>

#include "drive/cdb.h"
#include "drive/probe.h"
#include "simulator/simulator.h"
#include "tests/support/fake_drives.h"
#include "tests/support/test_bay.h"

namespace vestrel {
namespace {

using namespace vestrel::testing;

ScsiResult IoControlFailure(uint32_t osError) {
    ScsiResult r;
    r.status = StatusIoControlFailed;
    r.osError = osError;
    return r;
}

TEST(ProbeDrive, DriveWithoutDiscWithOpenTrayOrBecomingReadyIsUsable) {
    FakeDrives drives;
    drives.Add(u'E', DvdRecorder());
    drives.Add(u'F', CdRomDrive()).trayOpen = true;
    drives.Add(u'G', CdRomDrive()).failures[opcode::TestUnitReady] = CheckCondition(2, 4, 1);
    EXPECT_EQ(ProbeDrive(u'E'), DriveProbeResult{});
    EXPECT_EQ(ProbeDrive(u'F'), DriveProbeResult{});
    EXPECT_EQ(ProbeDrive(u'G'), DriveProbeResult{});
    EXPECT_EQ(
        drives.OpcodesSentTo(u'E'),
        (std::vector<uint8_t>{opcode::TestUnitReady, opcode::Inquiry, opcode::GetConfiguration}));
}

TEST(ProbeDrive, UnitAttentionsAreAskedAgainAFewTimesBeforeTheDriveIsUnusable) {
    // A drive just reset answers its next N commands with 6/29/00.
    for (uint32_t attentions : {1u, 3u, 4u}) {
        SCOPED_TRACE(attentions);
        CountingClock clock;
        sim::Simulator bay;
        std::string error;
        ASSERT_TRUE(bay.LoadText(sim::testing::BaySpec()
                                     .Drive('E', "dvd-rw-dl-recorder")
                                     .With("fault = unit-attention " + std::to_string(attentions))
                                     .Text(),
                                 ".", error))
            << error;
        bay.Install();
        DriveProbeResult p = ProbeDrive(u'E');
        const uint32_t repeats = std::min<uint32_t>(attentions, kUnitAttentionRepeats);
        EXPECT_EQ(clock.sleeps, std::vector<uint32_t>(repeats, kUnitAttentionPauseMs));
        if (attentions <= kUnitAttentionRepeats) {
            EXPECT_EQ(p, DriveProbeResult{});
            continue;
        }
        EXPECT_EQ(p.kind, ProbeKind::ScsiError);
        EXPECT_EQ(p.command, opcode::TestUnitReady);
        EXPECT_EQ(p.senseKey, 6);
        EXPECT_EQ(p.asc, 0x29);
    }
}

TEST(ProbeDrive, DriveThatCannotBeOpenedIsAReservationConflictAtTestUnitReady) {
    FakeDrives drives;
    DriveProbeResult p = ProbeDrive(u'Q');
    EXPECT_EQ(p.kind, ProbeKind::ScsiError);
    EXPECT_EQ(p.command, opcode::TestUnitReady);
    EXPECT_EQ(p.status, StatusOpenFailed);
    EXPECT_EQ(ProbeDetails(p),
              u"Error occurred while executing command: Test Unit Ready.\r\n\r\nSCSI status: "
              u"(0x18) Reservation Conflict\r\nSenseKey: 0x0   \tASC: 0x0   \tASCQ: 0x0");
}

TEST(ProbeDrive, FirstFailingCommandDecidesAndEndsTheProbe) {
    struct Case {
        uint8_t failing;
        ScsiResult result;
        ProbeKind kind;
    };
    const Case cases[] = {
        {opcode::TestUnitReady, CheckCondition(6, 0x28, 0x00), ProbeKind::ScsiError},
        {opcode::TestUnitReady, CheckCondition(2, 0x04, 0x02), ProbeKind::ScsiError},
        {opcode::TestUnitReady, IoControlFailure(1117), ProbeKind::IoControlError},
        {opcode::Inquiry, CheckCondition(5, 0x24, 0x00), ProbeKind::ScsiError},
        {opcode::Inquiry, IoControlFailure(21), ProbeKind::IoControlError},
        {opcode::GetConfiguration, CheckCondition(5, 0x20, 0x00), ProbeKind::ScsiError},
        {opcode::GetConfiguration, IoControlFailure(31), ProbeKind::IoControlError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        FakeDrives drives;
        drives.Add(u'E', DvdRecorder()).failures[c.failing] = c.result;
        DriveProbeResult p = ProbeDrive(u'E');
        EXPECT_EQ(p.kind, c.kind);
        EXPECT_EQ(p.command, c.failing);
        EXPECT_EQ(drives.OpcodesSentTo(u'E').back(), c.failing);
        if (c.kind == ProbeKind::IoControlError) {
            // Only the OS error is kept; the device said nothing.
            EXPECT_EQ(p.osError, c.result.osError);
            EXPECT_EQ(p.status, 0u);
        } else {
            EXPECT_EQ(p.osError, 0u);
            EXPECT_EQ(p.status, c.result.status);
            EXPECT_EQ(p.senseKey, c.result.senseKey);
            EXPECT_EQ(p.asc, c.result.asc);
        }
    }
}

TEST(ProbeDrive, DetailsTextsNameTheFailingCommand) {
    FakeDrives drives;
    drives.Add(u'E', DvdRecorder()).failures[opcode::GetConfiguration] =
        CheckCondition(5, 0x20, 0x00);
    EXPECT_EQ(ProbeDetails(ProbeDrive(u'E')),
              u"Error occurred while executing command: Get Configuration.\r\n\r\nSCSI status: "
              u"(0x2) Check Condition\r\nSenseKey: 0x5   \tASC: 0x20   \tASCQ: 0x0");

    drives.drives[u'E'].failures = {{opcode::Inquiry, IoControlFailure(5)}};
    std::u16string text = ProbeDetails(ProbeDrive(u'E'));
    EXPECT_EQ(text.rfind(u"Error occurred in function DeviceIoControl() while executing command: "
                         u"Inquiry.\r\n\r\nError code: (5) ",
                         0),
              0u);
    EXPECT_EQ(ProbeDetails(DriveProbeResult{}), u"");
}

TEST(ProbeDrive, FeaturelessDeviceIsNotARealOpticalDrive) {
    FakeDrives drives;
    drives.Add(u'E', CdRomDrive()).featureless = true;
    DriveProbeResult p = ProbeDrive(u'E');
    EXPECT_EQ(p.kind, ProbeKind::NotOptical);
    EXPECT_EQ(p.command, opcode::GetConfiguration);
    EXPECT_EQ(p.status, 0u);
    EXPECT_EQ(ProbeDetails(p),
              u"This drive is not a real optical drive.\r\n\r\nError occurred while executing "
              u"command: Get Configuration.\r\nSCSI status: (0x0) Good\r\nSenseKey: 0x0   \tASC: "
              u"0x0   \tASCQ: 0x0");
}

}  // namespace
}  // namespace vestrel
