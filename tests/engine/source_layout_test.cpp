// Sources' tracks from their tables of contents, and the TOCs that must
// leave a source without tracks rather than half described.
#include <gtest/gtest.h>

#include <vector>

#include "drive/source_table.h"
#include "engine/source_layout.h"
#include "tests/support/reply_builders.h"
#include "tests/support/scripted_transport.h"

namespace vestrel {
namespace {

using testing::CheckCondition;
using testing::FillReply;
using testing::ScriptedTransport;
using testing::TocDescriptor;
using testing::TocReply;
using Bytes = std::vector<uint8_t>;

// A mixed-mode CD: a data track, two audio tracks, the lead-out. The MSF
// addresses are not what the tracks are measured by, so they are left 0.
Bytes MixedCdMsf() {
    return TocReply(3, {{0x4}, {0x0}, {0x0}, {0x0}});
}
Bytes MixedCdLba() {
    return TocReply(3, {{0x4, 0}, {0x0, 1000}, {0x0, 4000}, {0x0, 4750}});
}

// A drive that answers READ TOC with the given MSF and LBA replies, the
// mixed CD's unless told otherwise; either may fail, and TEST UNIT READY may
// report no disc.
struct SourceDrive {
    SourceDrive() = default;
    SourceDrive(const SourceDrive&) = delete;
    SourceDrive& operator=(const SourceDrive&) = delete;

    Bytes msf = MixedCdMsf();
    Bytes lba = MixedCdLba();
    bool ready = true;
    bool msfFails = false;
    bool lbaFails = false;
    ScriptedTransport drive{[this](const ScsiCommand& c) {
        if (c.cdb[0] == 0x00)
            return ready ? ScsiResult{} : CheckCondition(2, 0x3A, 0x01);
        if (c.cdb[0] != 0x43)
            return CheckCondition(5, 0x20, 0);
        const bool isMsf = c.cdb[1] & 0x02;
        if (isMsf ? msfFails : lbaFails)
            return CheckCondition(3, 0x02, 0);
        FillReply(c, isMsf ? msf : lba);
        return ScsiResult{};
    }};
};

SourceRecord Source(char16_t letter) {
    SourceRecord s;
    s.driveLetter = letter;
    s.discType = disc::CdRom;
    return s;
}

TEST(SourceLayout, KindsFromTheMsfTocAndExtentsFromTheLbaToc) {
    SourceDrive d;
    SourceRecord s = Source(u'E');
    ASSERT_EQ(ReadSourceLayout(s), LayoutOutcome::Read);
    ASSERT_EQ(s.tracks.size(), 3u);
    EXPECT_TRUE(s.tracks[0].isData);
    EXPECT_EQ(s.tracks[0].firstLba, 0u);
    EXPECT_EQ(s.tracks[0].lastLba, 999u);
    EXPECT_EQ(s.tracks[0].imageBytes, 1000u * 2048);
    EXPECT_FALSE(s.tracks[1].isData);
    EXPECT_EQ(s.tracks[1].firstLba, 1000u);
    EXPECT_EQ(s.tracks[1].lastLba, 3999u);
    EXPECT_EQ(s.tracks[1].imageBytes, 3000u * 2352);
    EXPECT_EQ(s.tracks[2].lastLba, 4749u);
    EXPECT_EQ(s.totalBytes, 1000u * 2048 + 3750u * 2352);

    ASSERT_EQ(d.drive.commands.size(), 3u);
    EXPECT_EQ(d.drive.commands[0].cdb, (Bytes{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(d.drive.commands[1].cdb, (Bytes{0x43, 0x02, 0, 0, 0, 0, 0, 0x03, 0x24, 0}));
    EXPECT_EQ(d.drive.commands[2].cdb, (Bytes{0x43, 0x00, 0, 0, 0, 0, 0, 0x03, 0x24, 0}));
    for (const auto& c : d.drive.commands)
        EXPECT_EQ(c.letter, u'E');
}

TEST(SourceLayout, DataMeansTheDataBitWithoutTheFourChannelBit) {
    // CONTROL 4 and 5: data; 6 (copy permitted) is data too; C (four
    // channels with the data bit) and 0..3 are audio.
    SourceDrive d;
    d.msf = TocReply(6, {{0x4}, {0x5}, {0x6}, {0xC}, {0x0}, {0x1}, {0x0}});
    d.lba = TocReply(6, {{0, 0}, {0, 10}, {0, 20}, {0, 30}, {0, 40}, {0, 50}, {0, 60}});
    SourceRecord s = Source(u'E');
    ASSERT_EQ(ReadSourceLayout(s), LayoutOutcome::Read);
    std::vector<bool> kinds;
    for (const auto& t : s.tracks)
        kinds.push_back(t.isData);
    EXPECT_EQ(kinds, (std::vector<bool>{true, true, true, false, false, false}));
}

TEST(SourceLayout, ADriveThatIsNotReadyOrCannotReadItsTocGivesNoTracks) {
    SourceDrive d;
    d.ready = false;
    SourceRecord s = Source(u'E');
    s.tracks.resize(2);
    s.totalBytes = 99;
    EXPECT_EQ(ReadSourceLayout(s), LayoutOutcome::NotReady);
    EXPECT_TRUE(s.tracks.empty());
    EXPECT_EQ(s.totalBytes, 0u);
    EXPECT_EQ(d.drive.commands.size(), 1u);

    d.ready = true;
    d.msfFails = true;
    EXPECT_EQ(ReadSourceLayout(s), LayoutOutcome::TocUnreadable);
    EXPECT_TRUE(s.tracks.empty());
}

TEST(SourceLayout, ASecondTocReadThatFailsLeavesNoHalfDescribedTracks) {
    SourceDrive d;
    d.lbaFails = true;
    SourceRecord s = Source(u'E');
    EXPECT_EQ(ReadSourceLayout(s), LayoutOutcome::AddressesUnread);
    EXPECT_TRUE(s.tracks.empty());
    EXPECT_EQ(s.totalBytes, 0u);
}

TEST(SourceLayout, ALastTrackBeyondWhatTheReplyHoldsIsRefusedNotReadPast) {
    SourceDrive d;
    d.msf[3] = 0xFF;  // 255 tracks would need 2052 bytes; the reply has 804
    d.msf[0] = 0xFF;
    d.msf[1] = 0xFF;
    d.lba[3] = 0xFF;
    d.lba[0] = 0xFF;
    d.lba[1] = 0xFF;
    SourceRecord s = Source(u'E');
    EXPECT_EQ(ReadSourceLayout(s), LayoutOutcome::TocInconsistent);
    EXPECT_TRUE(s.tracks.empty());

    // Within 804 bytes but beyond the TOC's own data length.
    d.msf = MixedCdMsf();
    d.lba = MixedCdLba();
    d.msf[3] = 5;
    d.lba[3] = 5;
    EXPECT_EQ(ReadSourceLayout(s), LayoutOutcome::TocInconsistent);
    EXPECT_TRUE(s.tracks.empty());
}

TEST(SourceLayout, TocsThatDisagreeOrRunBackwardsAreRefused) {
    struct Case {
        Bytes msf;
        Bytes lba;
    };
    const std::vector<Case> cases{
        // The disc changed between the reads.
        {TocReply(1, {{0x4}, {0x4}}), TocReply(2, {{0x4, 0}, {0x0, 1000}, {0x0, 2000}})},
        // A track that ends before it starts.
        {TocReply(2, {{0x4}, {0x0}, {0x0}}), TocReply(2, {{0, 0}, {0, 5000}, {0, 4000}})},
        // A track of no blocks.
        {TocReply(2, {{0x4}, {0x0}, {0x0}}), TocReply(2, {{0, 0}, {0, 0}, {0, 4000}})},
        // No tracks at all (a blank disc answers with last track 0).
        {TocReply(0, {{0x0}}), TocReply(0, {{0x0, 0}})},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SourceDrive d;
        d.msf = cases[i].msf;
        d.lba = cases[i].lba;
        SourceRecord s = Source(u'E');
        EXPECT_EQ(ReadSourceLayout(s), LayoutOutcome::TocInconsistent) << "case " << i;
        EXPECT_TRUE(s.tracks.empty()) << "case " << i;
        EXPECT_EQ(s.totalBytes, 0u) << "case " << i;
    }
}

TEST(ReadSourceLayouts, EverySourceInOrderWithItsOutcome) {
    SourceDrive d;
    d.drive.SetResponder([&d](const ScsiCommand& c) {
        if (c.letter == u'F')
            return CheckCondition(2, 0x3A, 0x00);
        if (c.cdb[0] == 0x43)
            FillReply(c, (c.cdb[1] & 0x02) ? d.msf : d.lba);
        return ScsiResult{};
    });
    auto& table = SourceTable();
    table.clear();
    table.push_back(Source(u'E'));
    table.push_back(Source(u'F'));
    table[1].tracks.resize(4);  // from an earlier run
    table[1].tracks[0].imagePath = u"C:\\old\\F000.iso";
    for (SourceRecord& s : table)
        s.destinations = {{u'G', 1}};

    auto outcomes = ReadSourceLayouts();
    EXPECT_EQ(outcomes, (std::vector<LayoutOutcome>{LayoutOutcome::Read, LayoutOutcome::NotReady}));
    EXPECT_FALSE(AllLayoutsRead(outcomes));
    EXPECT_EQ(table[0].tracks.size(), 3u);
    EXPECT_EQ(table[0].destinations.size(), 1u);
    EXPECT_FALSE(LeftOut(table[0]));
    // The source that could not be read is left out: nothing to read, no
    // recorder to write it.
    EXPECT_TRUE(table[1].tracks.empty());
    EXPECT_EQ(table[1].totalBytes, 0u);
    EXPECT_TRUE(table[1].destinations.empty());
    EXPECT_TRUE(LeftOut(table[1]));
    table.clear();
    EXPECT_TRUE(AllLayoutsRead(ReadSourceLayouts()));
}

}  // namespace
}  // namespace vestrel
