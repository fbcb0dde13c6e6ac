// The command functions against a scripted drive: what goes out, how
// buffers are treated, and the commands with rules of their own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive/mmc_commands.h"
#include "tests/support/scripted_transport.h"

namespace vestrel {
namespace {

using testing::CheckCondition;
using testing::CountingClock;
using testing::ScriptedTransport;
using Bytes = std::vector<uint8_t>;

TEST(ReserveTrack, SizeNotAMultipleOf16IsRefusedWithoutSending) {
    ScriptedTransport drive;
    ScsiResult r = SendReserveTrack(u'E', 1000);
    EXPECT_EQ(r.status, 2u);
    EXPECT_EQ(r.senseKey, 0);
    EXPECT_EQ(r.asc, 0);
    EXPECT_EQ(r.ascq, 0);
    EXPECT_TRUE(drive.commands.empty());

    r = SendReserveTrack(u'E', 1008);
    EXPECT_EQ(r.status, 0u);
    ASSERT_EQ(drive.commands.size(), 1u);
    EXPECT_EQ(drive.commands[0].cdb, (Bytes{0x53, 0, 0, 0, 0, 0, 0, 0x03, 0xF0, 0}));
    EXPECT_EQ(drive.commands[0].letter, u'E');
}

TEST(Write10, RepeatsWhileLongWriteInProgressWaitingAndDispatching) {
    CountingClock clock;
    int calls = 0;
    ScriptedTransport drive([&](const ScsiCommand&) {
        return ++calls <= 2 ? CheckCondition(2, 0x04, 0x08) : ScsiResult{};
    });
    std::vector<std::u16string> lines;
    InstallDiagnosticSink([&](const std::u16string& l) { lines.push_back(l); });

    Bytes data(16 * 2048, 0x5A);
    ScsiResult r = SendWrite10(u'F', 0x12345, 16, data);
    InstallDiagnosticSink(nullptr);

    EXPECT_EQ(r.status, 0u);
    ASSERT_EQ(drive.commands.size(), 3u);
    for (const auto& c : drive.commands) {
        EXPECT_EQ(c.cdb, (Bytes{0x2A, 0, 0x00, 0x01, 0x23, 0x45, 0, 0x00, 0x10, 0}));
        EXPECT_EQ(c.direction, DataDirection::ToDevice);
        EXPECT_EQ(c.transferLength, 32768u);
        EXPECT_EQ(c.dataOut, data);
    }
    EXPECT_EQ(clock.dispatchingWaits, (std::vector<uint32_t>{100, 100}));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              u"Write10 Error: lLBA=74565 wNumLBAs=16 dwBufLen=32768 dwIOErr=0 stRet=2, SK=2 "
              u"ASC=4 ASCQ=8");
}

TEST(Write10, OtherErrorsReturnAtOnce) {
    CountingClock clock;
    ScriptedTransport drive([](const ScsiCommand&) { return CheckCondition(3, 0x0C, 0x00); });
    Bytes data(2048);
    ScsiResult r = SendWrite10(u'F', -150, 1, data);
    EXPECT_EQ(r.status, 2u);
    EXPECT_EQ(r.senseKey, 3);
    EXPECT_EQ(drive.commands.size(), 1u);
    EXPECT_TRUE(clock.dispatchingWaits.empty());
    EXPECT_EQ(WriteDiagnostic(-150, 1, 2048, r),
              u"Write10 Error: lLBA=-150 wNumLBAs=1 dwBufLen=2048 dwIOErr=0 stRet=2, SK=3 "
              u"ASC=12 ASCQ=0");
}

TEST(Write10, ADriveThatNeverFinishesItsLongWriteIsGivenUpOn) {
    CountingClock clock;
    ScriptedTransport drive([](const ScsiCommand&) { return CheckCondition(2, 0x04, 0x08); });
    Bytes data(2048);
    ScsiResult r = SendWrite10(u'F', 0, 1, data);
    EXPECT_TRUE(IsLongWriteInProgress(r));
    EXPECT_EQ(drive.commands.size(), size_t{kLongWriteRepeatLimit} + 1);
}

TEST(SynchronizeCache, IsRepeatedWhileTheDriveIsBusyAndNotOtherwise) {
    struct Row {
        const char* name;
        ScsiResult busy;  // answered to the first ten commands
        size_t sent;
        bool ok;
    };
    const Row rows[] = {
        {"long write in progress", CheckCondition(2, 0x04, 0x08), 11, true},
        {"operation in progress", CheckCondition(2, 0x04, 0x07), 11, true},
        {"becoming ready", CheckCondition(2, 0x04, 0x01), 11, true},
        {"a write error", CheckCondition(3, 0x0C, 0x00), 1, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        CountingClock clock;
        ScriptedTransport drive([&](const ScsiCommand&) {
            return drive.commands.size() <= 10 ? r.busy : ScsiResult{};
        });
        EXPECT_EQ(SendSynchronizeCachePatiently(u'F', {}).ok(), r.ok);
        EXPECT_EQ(drive.commands.size(), r.sent);
        EXPECT_EQ(clock.dispatchingWaits, std::vector<uint32_t>(r.sent - 1, 100));
    }
}

TEST(SynchronizeCache, PatienceEndsAtTheLongWriteLimitOrAStop) {
    CountingClock clock;
    ScriptedTransport drive([](const ScsiCommand&) { return CheckCondition(2, 0x04, 0x08); });
    EXPECT_TRUE(IsLongWriteInProgress(SendSynchronizeCachePatiently(u'F', {})));
    EXPECT_EQ(drive.commands.size(), size_t{kLongWriteRepeatLimit} + 1);
    drive.commands.clear();
    int asked = 0;
    SendSynchronizeCachePatiently(u'F', [&] { return ++asked == 3; });
    EXPECT_EQ(drive.commands.size(), 3u);
}

// A drive closing a disc for `busyPolls` polls, then answering `end`.
struct ClosingDrive {
    explicit ClosingDrive(int busyPolls, ScsiResult end = {})
        : drive([this, busyPolls, end](const ScsiCommand& c) {
              if (c.cdb[0] == 0x03) {  // REQUEST SENSE: progress by polls so far
                  const uint16_t progress = static_cast<uint16_t>(polls * 65536 / (busyPolls + 1));
                  testing::FillReply(
                      c, {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04, 0x07, 0, 0x80,
                          static_cast<uint8_t>(progress >> 8), static_cast<uint8_t>(progress)});
                  return ScsiResult{};
              }
              return ++polls <= busyPolls ? CheckCondition(2, 0x04, 0x07) : end;
          }) {}
    int polls = 0;
    CountingClock clock;
    ScriptedTransport drive;
};

TEST(LongOperation, PolledOnceASecondWithTheDrivesProgressUntilReady) {
    ClosingDrive closing(3);
    std::vector<uint16_t> progress;
    LongOperationWait wait;
    wait.allowanceMs = 60000;
    wait.progress = [&](uint16_t p) { progress.push_back(p); };
    EXPECT_EQ(WaitForLongOperation(u'F', wait), LongOperationEnd::Ready);
    EXPECT_EQ(progress, (std::vector<uint16_t>{16384, 32768, 49152}));
    EXPECT_EQ(closing.clock.now, 3000u);
    std::vector<uint8_t> ops;
    for (const auto& c : closing.drive.commands)
        ops.push_back(c.cdb[0]);
    EXPECT_EQ(ops, (std::vector<uint8_t>{0x00, 0x03, 0x00, 0x03, 0x00, 0x03, 0x00}));
}

TEST(LongOperation, EndsOnAnErrorTheAllowanceOrAStop) {
    {
        ClosingDrive failing(2, CheckCondition(3, 0x0C, 0x00));
        EXPECT_EQ(WaitForLongOperation(u'F', {60000, {}, {}}), LongOperationEnd::Failed);
        EXPECT_EQ(failing.clock.now, 2000u);
    }
    {
        ClosingDrive endless(1000000);
        EXPECT_EQ(WaitForLongOperation(u'F', {15000, {}, {}}), LongOperationEnd::TimedOut);
        EXPECT_EQ(endless.clock.now, 15000u);
        EXPECT_EQ(endless.polls, 16);
    }
    {
        ClosingDrive endless(1000000);
        int asked = 0;
        LongOperationWait wait{600000, [&] { return ++asked > 25; }, {}};
        EXPECT_EQ(WaitForLongOperation(u'F', wait), LongOperationEnd::Stopped);
        EXPECT_EQ(endless.clock.now, 2500u) << "a stop is seen within 100 ms";
    }
}

TEST(Commands, ReadBuffersAreClearedAndShortRepliesLeaveZeros) {
    ScriptedTransport drive([](const ScsiCommand& c) {
        testing::FillReply(c, {0x00, 0x20, 0x11});  // a 3-byte reply
        return ScsiResult{};
    });
    Bytes reply(35, 0xEE);
    ASSERT_TRUE(SendReadDiscInformation(u'D', reply).ok());
    ASSERT_EQ(drive.commands.size(), 1u);
    EXPECT_TRUE(drive.commands[0].bufferWasZero);
    EXPECT_EQ(reply[2], 0x11);
    for (size_t i = 3; i < reply.size(); ++i)
        EXPECT_EQ(reply[i], 0) << i;
}

TEST(Commands, ABufferSmallerThanTheReplyIsRefusedBeforeSending) {
    ScriptedTransport drive;
    Bytes small(100);
    ScsiResult r = SendGetConfiguration(u'D', small);
    EXPECT_EQ(r.status, StatusIoControlFailed);
    EXPECT_NE(r.osError, 0u);
    EXPECT_TRUE(drive.commands.empty());
    Bytes shortWrite(100);
    EXPECT_EQ(SendModeSelect10(u'D', shortWrite).status, StatusIoControlFailed);
    EXPECT_TRUE(drive.commands.empty());
}

TEST(Commands, CommandsWithoutDataAreSentInboundWithNoBufferExceptBlank) {
    ScriptedTransport drive;
    SendTestUnitReady(u'D');
    SendSynchronizeCache(u'D');
    SendSetCdSpeed(u'D', 1385);
    SendBlank(u'D');
    ASSERT_EQ(drive.commands.size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(drive.commands[i].direction, DataDirection::FromDevice);
        EXPECT_EQ(drive.commands[i].transferLength, 0u);
    }
    EXPECT_EQ(drive.commands[3].direction, DataDirection::ToDevice);
    EXPECT_EQ(drive.commands[3].transferLength, 0u);
    EXPECT_EQ(drive.commands[3].timeoutSeconds, 1800u);
}

TEST(Commands, SetStreamingCarriesTheDescriptor) {
    ScriptedTransport drive;
    SendSetStreaming(u'G', 11080, 8310, false);
    SendSetStreaming(u'G', 11080, 8310, true);
    ASSERT_EQ(drive.commands.size(), 2u);
    EXPECT_EQ(drive.commands[0].dataOut,
              (Bytes{0x20, 0,    0, 0, 0,    0,    0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
                     0x2B, 0x48, 0, 0, 0x03, 0xE8, 0, 0, 0x20, 0x76, 0,    0,    0x03, 0xE8}));
    Bytes restore(28, 0);
    restore[0] = 0x24;
    EXPECT_EQ(drive.commands[1].dataOut, restore);
}

TEST(Commands, CdTextIsAskedForAsFarAsTheBufferGoes) {
    ScriptedTransport drive;
    Bytes header(kCdTextHeaderLength);
    Bytes whole(70000);
    SendReadTocCdText(u'H', header);
    SendReadTocCdText(u'H', whole);
    ASSERT_EQ(drive.commands.size(), 2u);
    EXPECT_EQ(drive.commands[0].cdb, (Bytes{0x43, 0, 0x05, 0, 0, 0, 0, 0x00, 0x04, 0}));
    EXPECT_EQ(drive.commands[0].transferLength, 4u);
    EXPECT_EQ(drive.commands[1].cdb, (Bytes{0x43, 0, 0x05, 0, 0, 0, 0, 0xFF, 0xFF, 0}));
    EXPECT_EQ(drive.commands[1].transferLength, 65535u);
}

TEST(Commands, CueSheetLengthGoesIntoTheCdb) {
    ScriptedTransport drive;
    Bytes cue(40, 0x41);
    SendCueSheet(u'H', cue);
    ASSERT_EQ(drive.commands.size(), 1u);
    EXPECT_EQ(drive.commands[0].cdb, (Bytes{0x5D, 0, 0, 0, 0, 0, 0, 0, 0x28, 0}));
    EXPECT_EQ(drive.commands[0].dataOut, cue);
}

}  // namespace
}  // namespace vestrel
