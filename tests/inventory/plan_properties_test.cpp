// PlanCopies on many random sets of drives and sources (seeded, so every
// run checks the same cases), checked against the rules' invariants rather
// than against expected plans.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <random>
#include <set>

#include "drive/plan_copies.h"
#include "tests/support/fake_drives.h"

namespace vestrel {
namespace {

using namespace disc;

// Write masks real recorders report, and source types including the two
// that no blank can take.
const DiscTypeMask kWriteMasks[] = {0x0,      0x2,      0x6,      0x1FF6,   0x1FF0,  0x0676,
                                    0x300000, 0x301FF6, 0x07C000, 0x07DFF6, 0x01C676};
// Disc sizes in blocks: unknown, small, and pressed DVDs and HD DVDs of one
// layer and of two.
const uint64_t kDiscSizes[] = {0, 1000, kDvdLayerBlocks, kDvdLayerBlocks + 1,
                               kHdDvdLayerBlocks + 1};
const DiscType kSourceTypes[] = {CdRom,     CdR,    CdRw,       DvdRom,     DvdR,
                                 DvdPlusRw, DvdRDl, DvdPlusRDl, HdDvdRom,   HdDvdRDl,
                                 BdRom,     BdRe,   DvdRam,     HybridDisc, Unknown};

std::vector<std::pair<char16_t, uint32_t>> Destinations(const SourceRecord& s) {
    std::vector<std::pair<char16_t, uint32_t>> e;
    for (const DestinationEntry& d : s.destinations)
        e.push_back({d.recorderLetter, d.copies});
    return e;
}

struct Scenario {
    std::vector<DriveRecord> rows;
};

Scenario RandomScenario(std::mt19937& rng) {
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    std::vector<char16_t> letters;
    for (char16_t l = u'D'; l <= u'Z'; ++l)
        letters.push_back(l);
    std::shuffle(letters.begin(), letters.end(), rng);
    Scenario s;
    const size_t count = 1 + pick(8);
    for (size_t i = 0; i < count; ++i) {
        DriveRecord r;
        r.letter = letters[i];
        if (pick(8) == 0) {
            r.probe.kind = ProbeKind::ScsiError;
        } else {
            r.writes = kWriteMasks[pick(std::size(kWriteMasks))];
            r.reads = r.writes | CdRom;
            // Rare types are rarer, so that most plans are not blocked.
            if (pick(3) != 0) {
                r.discType = kSourceTypes[pick(std::size(kSourceTypes) - (pick(6) ? 2 : 0))];
                r.discBlocks = kDiscSizes[pick(std::size(kDiscSizes))];
                r.copies = static_cast<uint8_t>(pick(4) == 0 ? 1 + pick(99) : 1 + pick(6));
            }
        }
        s.rows.push_back(r);
    }
    return s;
}

TEST(PlanCopiesProperties, RandomPlansKeepTheRules) {
    testing::FakeDrives labels;  // no volume labels
    std::mt19937 rng(20260417);
    int blocked = 0, planned = 0;
    for (int round = 0; round < 2000; ++round) {
        Scenario s = RandomScenario(rng);
        CopyPlan plan = PlanCopies(s.rows);
        const std::vector<SourceRecord> table = SourceTable();
        SCOPED_TRACE(round);

        std::vector<PlanDrive> usable;
        for (const DriveRecord& r : s.rows) {
            if (r.usable())
                usable.push_back({r.letter, r.reads, r.writes});
        }
        auto writesOf = [&](char16_t letter) {
            for (const PlanDrive& d : usable) {
                if (d.letter == letter)
                    return d.writes;
            }
            ADD_FAILURE() << "destination is not a usable drive";
            return DiscTypeMask{0};
        };

        bool anyWithoutCandidate = false;
        for (const SourceRecord& src : table)
            anyWithoutCandidate |= CandidatesFor(src, usable).empty();
        for (const SourceRecord& src : table) {
            uint32_t total = 0;
            std::set<char16_t> seen;
            for (const DestinationEntry& d : src.destinations) {
                EXPECT_NE(
                    writesOf(d.recorderLetter) & CompatibleBlankTypes(src.discType, src.discBlocks),
                    0u);
                EXPECT_TRUE(seen.insert(d.recorderLetter).second);
                EXPECT_GE(d.copies, 1u);
                total += d.copies;
            }
            EXPECT_EQ(total, anyWithoutCandidate ? 0 : src.copies);
        }
        EXPECT_EQ(plan.nextEnabled, !anyWithoutCandidate && !table.empty());
        (anyWithoutCandidate ? blocked : planned) += 1;

        // Replay the plan in the order it was made: every source's copies
        // went to the least-loaded of its candidates, levelled to within one.
        std::vector<SourceRecord> again = table;
        for (SourceRecord& src : again)
            src.destinations.clear();
        const std::vector<size_t> order = PlanDestinations(again, usable);
        std::map<char16_t, uint32_t> load;
        std::set<size_t> done;
        for (size_t index : order) {
            const SourceRecord& src = table[index];
            const size_t candidates = CandidatesFor(src, usable).size();
            for (size_t other = 0; other < table.size(); ++other) {
                if (done.count(other) || other == index)
                    continue;
                const size_t n = CandidatesFor(table[other], usable).size();
                EXPECT_TRUE(n > candidates ||
                            (n == candidates &&
                             (table[other].discType < src.discType ||
                              (table[other].discType == src.discType && other > index))));
            }
            done.insert(index);
            EXPECT_EQ(Destinations(again[index]), Destinations(src));
            for (const DestinationEntry& d : src.destinations)
                load[d.recorderLetter] += d.copies;
            uint32_t lowest = UINT32_MAX, highestGiven = 0;
            for (const PlanDrive& c : CandidatesFor(src, usable))
                lowest = std::min(lowest, load[c.letter]);
            for (const DestinationEntry& d : src.destinations)
                highestGiven = std::max(highestGiven, load[d.recorderLetter]);
            EXPECT_LE(highestGiven, lowest + 1);
        }
        EXPECT_EQ(order.size(), anyWithoutCandidate ? 0 : table.size());
    }
    // The generator reaches both outcomes often enough to matter.
    EXPECT_GT(blocked, 100);
    EXPECT_GT(planned, 1000);
}

}  // namespace
}  // namespace vestrel
