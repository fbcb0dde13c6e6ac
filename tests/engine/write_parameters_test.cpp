// Page 05h as a recording sends it back, and the retry rule of the set-up
// (five attempts, a random pause before each, the drive lock held during
// each attempt and never across a pause).
#include <gtest/gtest.h>

#include <vector>

#include "drive/mmc_commands.h"
#include "engine/write_parameters.h"
#include "tests/engine/lock_probe.h"
#include "tests/support/reply_builders.h"
#include "tests/support/scripted_transport.h"

namespace vestrel {
namespace {

using testing::CheckCondition;
using testing::FillReply;
using testing::LockWatchingClock;
using testing::ScriptedTransport;
using testing::WriteParametersPageReply;
using Bytes = std::vector<uint8_t>;

// The page offsets (page byte + 8) that differ between two replies.
std::vector<size_t> ChangedPageBytes(const Bytes& before, const Bytes& after) {
    std::vector<size_t> changed;
    for (size_t i = 0; i < before.size(); ++i) {
        if (before[i] != after[i])
            changed.push_back(i - 8);
    }
    return changed;
}

TEST(WriteParametersPage, CdBlankWithAndWithoutBufferUnderrunProtection) {
    const Bytes original = WriteParametersPageReply();
    Bytes page = original;
    ASSERT_TRUE(ApplyWriteParameters(page, disc::CdR, true));
    EXPECT_EQ(ChangedPageBytes(original, page), (std::vector<size_t>{2, 3, 4, 5, 7, 8, 14, 15}));
    EXPECT_EQ(page[8 + 2], 0x42);
    EXPECT_EQ(page[8 + 3], 0x00);
    EXPECT_EQ(page[8 + 4], 0x00);
    EXPECT_EQ(page[8 + 5], 0x00);
    EXPECT_EQ(page[8 + 7], 0x00);
    EXPECT_EQ(page[8 + 8], 0x00);
    EXPECT_EQ(page[8 + 14], 0x00);
    EXPECT_EQ(page[8 + 15], 0x96);

    page = original;
    ASSERT_TRUE(ApplyWriteParameters(page, disc::CdRw, false));
    EXPECT_EQ(page[8 + 2], 0x02);
}

TEST(WriteParametersPage, NonCdBlanksUseTrackModeFiveAndDataBlockTypeEight) {
    for (DiscType blank : {disc::DvdR, disc::DvdPlusRDl, disc::BdR, disc::HdDvdR}) {
        Bytes page = WriteParametersPageReply();
        ASSERT_TRUE(ApplyWriteParameters(page, blank, false));
        EXPECT_EQ(page[8 + 2], 0x02);
        EXPECT_EQ(page[8 + 3], 0x05);
        EXPECT_EQ(page[8 + 4], 0x08);
        EXPECT_EQ(page[8 + 14], 0x00);
        EXPECT_EQ(page[8 + 15], 0x96);
    }
}

TEST(WriteParametersPage, AReplyThatIsNotPage05hIsLeftAlone) {
    Bytes page = WriteParametersPageReply();
    page[8] = 0x2A;
    const Bytes before = page;
    EXPECT_FALSE(ApplyWriteParameters(page, disc::CdR, true));
    EXPECT_EQ(page, before);
    Bytes tiny(12, 0);
    tiny[8] = 0x05;
    EXPECT_FALSE(ApplyWriteParameters(tiny, disc::CdR, true));
}

// A recorder whose MODE SELECT is refused the first `refusals` times.
struct Recorder : testing::LockWatchingDrive {
    explicit Recorder(int refusals, bool buf = true)
        : LockWatchingDrive([this, refusals, buf](const ScsiCommand& c) {
              if (c.cdb[0] == 0x5A && c.cdb[2] == 0x85) {
                  FillReply(c, WriteParametersPageReply());
              } else if (c.cdb[0] == 0x5A && c.cdb[2] == 0xAA) {
                  FillReply(c, testing::CapabilitiesPageReply(0x3F, 0x3F, buf));
              } else if (c.cdb[0] == 0x55 && ++selects <= refusals) {
                  return CheckCondition(5, 0x26, 0x00);
              }
              return ScsiResult{};
          }) {}
    int selects = 0;
};

TEST(SetWriteParameters, SendsTheChangedDefaultPageBack) {
    LockWatchingClock clock;
    Recorder recorder(0, true);
    ASSERT_TRUE(SetWriteParameters(u'F', disc::CdR));
    const auto& commands = recorder.drive.commands;
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].cdb, (Bytes{0x5A, 0x08, 0x85, 0, 0, 0, 0, 0x02, 0x00, 0}));
    EXPECT_EQ(commands[1].cdb, (Bytes{0x5A, 0x08, 0xAA, 0, 0, 0, 0, 0x00, 0x96, 0}));
    EXPECT_EQ(commands[2].cdb, (Bytes{0x55, 0x10, 0, 0, 0, 0, 0, 0x02, 0x00, 0}));
    Bytes expected = WriteParametersPageReply();
    ApplyWriteParameters(expected, disc::CdR, true);
    EXPECT_EQ(commands[2].dataOut, expected);
    EXPECT_EQ(commands[2].dataOut[8 + 2], 0x42);
    EXPECT_EQ(clock.sleeps.size(), 1u);
}

TEST(SetWriteParameters, FiveAttemptsEachUnderTheLockAfterAPauseWithoutIt) {
    LockWatchingClock clock;
    Recorder recorder(100);
    EXPECT_FALSE(SetWriteParameters(u'F', disc::DvdR));
    EXPECT_EQ(recorder.selects, 5);
    EXPECT_EQ(recorder.drive.commands.size(), 15u);
    testing::ExpectRetriesUnderTheLock(clock, recorder, 5);
    EXPECT_FALSE(testing::DriveLockIsHeld());
}

TEST(SetWriteParameters, StopsAtTheFirstAcceptedAttempt) {
    LockWatchingClock clock;
    Recorder recorder(2);
    EXPECT_TRUE(SetWriteParameters(u'F', disc::DvdR));
    EXPECT_EQ(recorder.selects, 3);
    EXPECT_EQ(clock.sleeps.size(), 3u);
    EXPECT_EQ(recorder.drive.commands.back().dataOut[8 + 3], 0x05);
}

TEST(SetWriteParameters, AFailedModeSenseSendsNoModeSelect) {
    LockWatchingClock clock;
    ScriptedTransport drive([](const ScsiCommand&) { return CheckCondition(2, 0x3A, 0x00); });
    EXPECT_FALSE(SetWriteParameters(u'F', disc::CdR));
    ASSERT_EQ(drive.commands.size(), 5u);
    for (const auto& c : drive.commands)
        EXPECT_EQ(c.cdb[0], 0x5A);
}

TEST(QueryBufferUnderrunFree, ReadsTheBufBitOfTheCapabilitiesPage) {
    bool buf = true;
    ScsiResult result;
    ScriptedTransport drive([&](const ScsiCommand& c) {
        FillReply(c, testing::CapabilitiesPageReply(0x3F, 0x3F, buf));
        return result;
    });
    EXPECT_TRUE(QueryBufferUnderrunFree(u'F'));
    EXPECT_EQ(drive.commands[0].transferLength, 150u);
    buf = false;
    EXPECT_FALSE(QueryBufferUnderrunFree(u'F'));
    buf = true;
    result = CheckCondition(5, 0x24, 0);
    EXPECT_FALSE(QueryBufferUnderrunFree(u'F'));
}

}  // namespace
}  // namespace vestrel
