// The planner's spreading and ordering rules, and what the rows show.
#include <gtest/gtest.h>

#include "drive/plan_copies.h"
#include "tests/support/fake_drives.h"

namespace vestrel {
namespace {

using namespace disc;
using namespace vestrel::testing;

constexpr DiscTypeMask kCdWriter = 0x6;
constexpr DiscTypeMask kCdDvdWriter = 0x1FF6;
constexpr DiscTypeMask kDvdWriter = 0x1FF0;
constexpr DiscTypeMask kBdWriter = 0x300000 | kCdDvdWriter;

SourceRecord Source(char16_t letter, DiscType type, uint32_t copies) {
    SourceRecord s;
    s.driveLetter = letter;
    s.discType = type;
    s.copies = copies;
    return s;
}

DriveRecord Row(char16_t letter, DiscTypeMask writes, DiscType disc, uint8_t copies) {
    DriveRecord r;
    r.letter = letter;
    r.reads = writes | CdRom;
    r.writes = writes;
    r.discType = disc;
    r.copies = copies;
    return r;
}

using Entries = std::vector<std::pair<char16_t, uint32_t>>;
Entries Destinations(const SourceRecord& s) {
    Entries e;
    for (const DestinationEntry& d : s.destinations)
        e.push_back({d.recorderLetter, d.copies});
    return e;
}

TEST(PlanCopies, EqualRecordersShareCopiesLaterRowTakingTheRemainder) {
    std::vector<SourceRecord> sources = {Source(u'C', CdRom, 5)};
    std::vector<PlanDrive> drives = {{u'D', 0, kCdWriter}, {u'E', 0, kCdWriter}};
    PlanDestinations(sources, drives);
    EXPECT_EQ(Destinations(sources[0]), (Entries{{u'E', 3}, {u'D', 2}}));
}

TEST(PlanCopies, OnlyRecordersOfACompatibleBlankAreCandidates) {
    std::vector<SourceRecord> sources = {Source(u'C', DvdRom, 2)};
    std::vector<PlanDrive> drives = {{u'D', 0, kCdDvdWriter}, {u'E', 0, kCdWriter}};
    PlanDestinations(sources, drives);
    EXPECT_EQ(Destinations(sources[0]), (Entries{{u'D', 2}}));
    // Single-layer blanks never take a dual-layer source.
    EXPECT_FALSE(CanTakeSource(DvdPlusRDl, 0, DvdPlusR | DvdR));
    EXPECT_TRUE(CanTakeSource(DvdPlusRDl, 0, DvdRDl));
}

TEST(PlanCopies, FewestCandidatesFirstThenLoadSteersTheOthers) {
    // A (DVD-ROM) can go to X or Y, B (CD-ROM) only to X.
    std::vector<SourceRecord> sources = {Source(u'A', DvdRom, 1), Source(u'B', CdRom, 1)};
    std::vector<PlanDrive> drives = {{u'X', 0, kCdDvdWriter}, {u'Y', 0, kDvdWriter}};
    EXPECT_EQ(PlanDestinations(sources, drives), (std::vector<size_t>{1, 0}));
    EXPECT_EQ(Destinations(sources[1]), (Entries{{u'X', 1}}));
    EXPECT_EQ(Destinations(sources[0]), (Entries{{u'Y', 1}}));
}

TEST(PlanCopies, TiesGoToTheLargerDiscTypeThenToTheEarlierRow) {
    std::vector<PlanDrive> drives = {{u'P', 0, kBdWriter}, {u'Q', 0, kBdWriter}};
    std::vector<SourceRecord> sources = {Source(u'A', DvdRom, 1), Source(u'B', BdRom, 1)};
    EXPECT_EQ(PlanDestinations(sources, drives), (std::vector<size_t>{1, 0}));
    EXPECT_EQ(Destinations(sources[1]), (Entries{{u'Q', 1}}));
    EXPECT_EQ(Destinations(sources[0]), (Entries{{u'P', 1}}));

    sources = {Source(u'A', CdRom, 1), Source(u'B', CdRom, 1)};
    EXPECT_EQ(PlanDestinations(sources, drives), (std::vector<size_t>{0, 1}));
}

TEST(PlanCopies, CandidatesOrderedByWriteMaskThenLaterRowFirst) {
    std::vector<PlanDrive> c = {
        {u'D', 0, kCdWriter}, {u'E', 0, kCdDvdWriter}, {u'F', 0, kCdWriter}, {u'G', 0, kDvdWriter}};
    OrderCandidates(c);
    std::u16string order;
    for (const PlanDrive& d : c)
        order.push_back(d.letter);
    EXPECT_EQ(order, u"EGFD");
}

TEST(PlanCopies, CopiesFillTheLeastLoadedRecordersInCandidateOrder) {
    SourceRecord s = Source(u'S', CdRom, 4);
    std::vector<PlanDrive> candidates = {{u'A', 0, 6}, {u'B', 0, 6}, {u'C', 0, 6}};
    RecorderLoads loads = {{u'A', 2}, {u'B', 0}, {u'C', 1}};
    AssignCopies(s, candidates, loads);
    EXPECT_EQ(Destinations(s), (Entries{{u'B', 2}, {u'C', 1}, {u'A', 1}}));
    EXPECT_EQ(loads, (RecorderLoads{{u'A', 3}, {u'B', 2}, {u'C', 2}}));
}

TEST(PlanCopies, OneSourceNoDriveCanTakeBlocksEveryOther) {
    FakeDrives fake;
    fake.Add(u'D', CdRomDrive()).label = u" AUDIO ";
    std::vector<DriveRecord> rows = {Row(u'D', 0, CdRom, 3), Row(u'E', 0, Unknown, 1),
                                     Row(u'F', kCdWriter, None, 0), Row(u'G', 0, None, 0)};
    rows[3].probe.kind = ProbeKind::ScsiError;

    CopyPlan plan = PlanCopies(rows);
    EXPECT_FALSE(plan.nextEnabled);
    ASSERT_EQ(plan.rows.size(), 4u);
    EXPECT_EQ(plan.rows[0].kind, DestinationKind::NoCapableDrive);
    EXPECT_EQ(plan.rows[0].text,
              u"There is no drive capable of writing this kind of discs (e.g. CD-R)");
    EXPECT_EQ(plan.rows[1].text,
              u"There is no drive capable of writing this kind of discs (e.g. Unknown disc type)");
    EXPECT_EQ(plan.rows[2].kind, DestinationKind::NotApplicable);
    EXPECT_EQ(plan.rows[2].text, u"N/A");
    EXPECT_EQ(plan.rows[3].kind, DestinationKind::Nothing);
    ASSERT_EQ(SourceTable().size(), 2u);
    EXPECT_EQ(SourceTable()[0].volumeLabel, u"AUDIO");
    EXPECT_EQ(SourceTable()[0].copies, 3u);
    EXPECT_TRUE(SourceTable()[0].destinations.empty());

    // Without the unknown disc, the CD is planned; the table is rebuilt.
    rows[1].discType = None;
    rows[1].copies = 0;
    plan = PlanCopies(rows);
    EXPECT_TRUE(plan.nextEnabled);
    EXPECT_EQ(plan.rows[0].kind, DestinationKind::Destinations);
    ASSERT_EQ(plan.rows[0].destinations.size(), 1u);
    EXPECT_EQ(plan.rows[0].destinations[0].recorderLetter, u'F');
    EXPECT_EQ(plan.rows[0].destinations[0].copies, 3u);
    EXPECT_EQ(plan.rows[1].kind, DestinationKind::NotApplicable);
    ASSERT_EQ(SourceTable().size(), 1u);
    EXPECT_EQ(SourceTable()[0].destinations.size(), 1u);

    EXPECT_EQ(NoCapableDriveText(HybridDisc, 0),
              u"There is no drive capable of writing this kind of discs (e.g. Hybrid Disc)");
    EXPECT_EQ(NoCapableDriveText(BdRom, 0),
              u"There is no drive capable of writing this kind of discs (e.g. BD-R)");
}

TEST(PlanCopies, PressedSourcesLargerThanALayerGoOnlyToDualLayerRecorders) {
    FakeDrives fake;  // no volume labels
    constexpr DiscTypeMask kSingleDvd = 0x0676, kBothDvd = 0x1FF6;
    constexpr DiscTypeMask kSingleHd = 0x1C000, kBothHd = 0x7C000;
    const std::u16string none = u"There is no drive capable of writing this kind of discs (e.g. ";
    struct Case {
        DiscType type;
        uint64_t blocks;
        std::vector<DiscTypeMask> recorders;  // E, F, ...
        std::u16string column;                // destinations as "F1 E1", or the text
    };
    const Case cases[] = {
        {DvdRom, 0, {kSingleDvd}, u"E2"},
        {DvdRom, kDvdLayerBlocks, {kSingleDvd, kBothDvd}, u"F1 E1"},
        {DvdRom, kDvdLayerBlocks + 1, {kSingleDvd, kBothDvd}, u"F2"},
        {DvdRom, kDvdLayerBlocks + 1, {kSingleDvd}, none + u"DVD-R DL)"},
        {HdDvdRom, kHdDvdLayerBlocks, {kSingleHd, kBothHd}, u"F1 E1"},
        {HdDvdRom, kHdDvdLayerBlocks + 1, {kSingleHd, kBothHd}, u"F2"},
        {HdDvdRom, kHdDvdLayerBlocks + 1, {kSingleHd, kBothDvd}, none + u"HD DVD-R DL)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.type << " " << c.blocks);
        std::vector<DriveRecord> rows = {Row(u'D', 0, c.type, 2)};
        rows[0].discBlocks = c.blocks;
        for (size_t i = 0; i < c.recorders.size(); ++i)
            rows.push_back(Row(static_cast<char16_t>(u'E' + i), c.recorders[i], None, 0));
        CopyPlan plan = PlanCopies(rows);
        ASSERT_EQ(SourceTable().size(), 1u);
        EXPECT_EQ(SourceTable()[0].discBlocks, c.blocks);
        std::u16string column = plan.rows[0].text;
        for (const DestinationEntry& d : plan.rows[0].destinations) {
            column += column.empty() ? u"" : u" ";
            column += std::u16string{d.recorderLetter, static_cast<char16_t>(u'0' + d.copies)};
        }
        EXPECT_EQ(column, c.column);
        EXPECT_EQ(plan.nextEnabled, plan.rows[0].kind == DestinationKind::Destinations);
    }
}

TEST(PlanCopies, NoRowsNoSourcesNoNext) {
    FakeDrives fake;
    SourceTable().push_back(Source(u'X', CdRom, 1));
    CopyPlan plan = PlanCopies({});
    EXPECT_FALSE(plan.nextEnabled);
    EXPECT_TRUE(plan.rows.empty());
    EXPECT_TRUE(SourceTable().empty());
}

}  // namespace
}  // namespace vestrel
