// The speed chosen from GET PERFORMANCE, the commands that set it, and
// the restoring of the drive's streaming defaults.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive/mmc_commands.h"
#include "engine/write_speed.h"
#include "tests/engine/lock_probe.h"
#include "tests/support/reply_builders.h"
#include "tests/support/scripted_transport.h"

namespace vestrel {
namespace {

using testing::CheckCondition;
using testing::FillReply;
using testing::LockWatchingClock;
using testing::PerformanceReply;
using testing::ScriptedTransport;
using testing::SpeedPair;
using Bytes = std::vector<uint8_t>;

uint32_t WriteSpeedFor(const std::vector<SpeedPair>& speeds, DiscType blank) {
    Bytes reply = PerformanceReply(speeds);
    auto choice = ChooseWriteSpeed(ByteReader(reply), blank);
    return choice ? choice->writeSpeed : 0xDEAD;
}

TEST(ChooseWriteSpeed, TheSecondSpeedOrOneStepBelowTheOnlyOne) {
    EXPECT_EQ(WriteSpeedFor({{7056, 7056}}, disc::CdR), 6906u);
    EXPECT_EQ(WriteSpeedFor({{7056, 7056}, {7056, 5292}}, disc::CdR), 5292u);
    EXPECT_EQ(WriteSpeedFor({{11080, 11080}}, disc::DvdPlusR), 11080u - 1352);
    EXPECT_EQ(WriteSpeedFor({{11080, 11080}}, disc::DvdRam), 11080u - 1352);
    EXPECT_EQ(WriteSpeedFor({{35964, 35964}}, disc::BdR), 35964u - 4394);
    EXPECT_EQ(WriteSpeedFor({{35964, 35964}}, disc::HdDvdR), 35964u - 4394);

    Bytes reply = PerformanceReply({{11080, 8310}, {2000, 5540}, {1000, 2770}});
    auto choice = ChooseWriteSpeed(ByteReader(reply), disc::DvdR);
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->readSpeed, 11080u);
    EXPECT_EQ(choice->writeSpeed, 5540u);
}

TEST(ChooseWriteSpeed, NoDescriptorsNoChoiceAndASlowDriveIsNotWrappedAround) {
    Bytes none = PerformanceReply({});
    EXPECT_FALSE(ChooseWriteSpeed(ByteReader(none), disc::CdR));
    Bytes cut(4, 0);
    cut[3] = 4 + 16;  // promises a descriptor the reply does not hold
    EXPECT_FALSE(ChooseWriteSpeed(ByteReader(cut), disc::CdR));
    EXPECT_EQ(WriteSpeedFor({{1000, 150}}, disc::CdR), 150u);
    EXPECT_EQ(WriteSpeedFor({{1000, 0}}, disc::BdR), 0u);
}

// A recorder whose SET CD SPEED is refused the first `refusals` times.
struct Recorder : testing::LockWatchingDrive {
    Recorder(std::vector<SpeedPair> speeds, int refusals)
        : LockWatchingDrive([this, speeds, refusals](const ScsiCommand& c) {
              if (c.cdb[0] == 0xAC)
                  FillReply(c, PerformanceReply(speeds));
              if (c.cdb[0] == 0xBB && ++speedCommands <= refusals)
                  return CheckCondition(5, 0x24, 0x00);
              return ScsiResult{};
          }) {}
    int speedCommands = 0;
};

TEST(SelectWriteSpeed, SetsBothSpeedsAndNotesThem) {
    LockWatchingClock clock;
    std::vector<std::u16string> lines;
    InstallDiagnosticSink([&](const std::u16string& l) { lines.push_back(l); });
    Recorder recorder({{11080, 8310}, {11080, 1385}}, 0);
    uint32_t speed = 0;
    bool ok = SelectWriteSpeed(u'G', disc::CdRw, &speed);
    InstallDiagnosticSink(nullptr);

    ASSERT_TRUE(ok);
    EXPECT_EQ(speed, 1385u);
    const auto& commands = recorder.drive.commands;
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].cdb, (Bytes{0xAC, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x1E, 0x03, 0x00}));
    EXPECT_EQ(commands[0].transferLength, 488u);
    EXPECT_EQ(commands[1].cdb, (Bytes{0xBB, 0, 0xFF, 0xFF, 0x05, 0x69, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(commands[2].cdb, (Bytes{0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x1C, 0}));
    EXPECT_EQ(commands[2].dataOut,
              (Bytes{0x20, 0,    0,    0,    0,    0,    0,    0,    0xFF, 0xFF,
                     0xFF, 0xFF, 0x00, 0x00, 0x2B, 0x48, 0x00, 0x00, 0x03, 0xE8,
                     0x00, 0x00, 0x05, 0x69, 0x00, 0x00, 0x03, 0xE8}));
    EXPECT_EQ(lines, (std::vector<std::u16string>{u"New speeds: Reading: 11080, Writing: 1385"}));
}

TEST(SelectWriteSpeed, ARefusedSpeedStillSendsStreamingAndIsTriedFiveTimesUnderTheLock) {
    LockWatchingClock clock;
    Recorder recorder({{7056, 7056}}, 100);
    EXPECT_FALSE(SelectWriteSpeed(u'G', disc::CdR));
    EXPECT_EQ(recorder.speedCommands, 5);
    const auto& commands = recorder.drive.commands;
    ASSERT_EQ(commands.size(), 15u);
    for (size_t i = 0; i < commands.size(); i += 3) {
        EXPECT_EQ(commands[i].cdb[0], 0xAC);
        EXPECT_EQ(commands[i + 1].cdb[0], 0xBB);
        EXPECT_EQ(commands[i + 2].cdb[0], 0xB6);
    }
    EXPECT_EQ(commands[1].cdb[4], 0x1A);  // 6906 = 1AFAh
    EXPECT_EQ(commands[1].cdb[5], 0xFA);
    testing::ExpectRetriesUnderTheLock(clock, recorder, 5);
}

TEST(SelectWriteSpeed, AFailedOrEmptyPerformanceReplySetsNothing) {
    LockWatchingClock clock;
    Recorder empty({}, 0);
    EXPECT_FALSE(SelectWriteSpeed(u'G', disc::BdR));
    EXPECT_EQ(empty.drive.commands.size(), 5u);
    for (const auto& c : empty.drive.commands)
        EXPECT_EQ(c.cdb[0], 0xAC);
}

TEST(SelectWriteSpeed, BluRaySpeedsBeyondTheCdSpeedFieldAskForTheMaximum) {
    LockWatchingClock clock;
    Recorder recorder({{71930, 71930}, {71930, 71930}}, 0);
    ASSERT_TRUE(SelectWriteSpeed(u'G', disc::BdR));
    const auto& commands = recorder.drive.commands;
    EXPECT_EQ(commands[1].cdb[4], 0xFF);
    EXPECT_EQ(commands[1].cdb[5], 0xFF);
    // SET STREAMING carries the full speed: 71930 = 118FAh.
    EXPECT_EQ(commands[2].dataOut[21], 0x01);
    EXPECT_EQ(commands[2].dataOut[22], 0x18);
    EXPECT_EQ(commands[2].dataOut[23], 0xFA);
}

TEST(RestoreStreamingDefaults, SendsTheRestoreDescriptor) {
    ScriptedTransport drive;
    RestoreStreamingDefaults(u'H');
    ASSERT_EQ(drive.commands.size(), 1u);
    EXPECT_EQ(drive.commands[0].letter, u'H');
    EXPECT_EQ(drive.commands[0].cdb, (Bytes{0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x1C, 0}));
    Bytes restore(28, 0);
    restore[0] = 0x24;
    EXPECT_EQ(drive.commands[0].dataOut, restore);
}

}  // namespace
}  // namespace vestrel
