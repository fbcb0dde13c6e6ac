#include <gtest/gtest.h>

#include "drive/disc_types.h"

namespace vestrel {
namespace {

using namespace disc;

TEST(DiscTypes, ProfilesMapToTheirTypes) {
    EXPECT_EQ(ProfileToDiscType(0x0014), DvdRw);
    EXPECT_EQ(ProfileToDiscType(0x0042), BdR);
    EXPECT_EQ(ProfileToDiscType(0x0002), Unknown);
    EXPECT_EQ(ProfileToDiscType(0x0000), None);
    EXPECT_EQ(ProfileToDiscType(0x0016), DvdRDl);
    EXPECT_EQ(ProfileToDiscType(0x005A), HdDvdRwDl);
    EXPECT_EQ(ProfileToDiscType(0xFFFF), Unknown);
}

TEST(DiscTypes, EveryTypeHasItsNameAndMixturesAreUnknown) {
    EXPECT_EQ(DiscTypeName(0), u"No disc");
    EXPECT_EQ(DiscTypeName(0x800000), u"Unknown disc type");
    EXPECT_EQ(DiscTypeName(3), u"Unknown");
    EXPECT_EQ(DiscTypeName(0x1000000), u"Unknown");
    EXPECT_EQ(DiscTypeName(DvdPlusRDl), u"DVD+R DL");
    EXPECT_EQ(DiscTypeName(HybridDisc), u"Hybrid Disc");
    // Each profile's type names itself by a distinct name.
    for (unsigned bit = 0; bit < 24; ++bit)
        EXPECT_NE(DiscTypeName(1u << bit), u"Unknown");
}

TEST(DiscTypes, CompatibleBlanksKeepLayersApart) {
    EXPECT_EQ(CompatibleBlankTypes(DvdPlusRDl), 0x1980u);
    EXPECT_EQ(CompatibleBlankTypes(HybridDisc), 0u);
    EXPECT_EQ(CompatibleBlankTypes(CdRom), 0x6u);
    EXPECT_EQ(CompatibleBlankTypes(DvdRom), 0x670u);
    EXPECT_EQ(CompatibleBlankTypes(HdDvdRam), 0x1C000u);
    EXPECT_EQ(CompatibleBlankTypes(HdDvdRwDl), 0x60000u);
    EXPECT_EQ(CompatibleBlankTypes(BdRom), 0x300000u);
    EXPECT_EQ(CompatibleBlankTypes(None), 0u);
    EXPECT_EQ(CompatibleBlankTypes(Unknown), 0u);
    EXPECT_EQ(CompatibleBlankTypes(CdR | DvdR), 0u);
    for (unsigned bit = 0; bit < 24; ++bit) {
        DiscType t = 1u << bit;
        EXPECT_EQ(
            CompatibleBlankTypes(t) & (DvdTypes & ~0x1980u) && (CompatibleBlankTypes(t) & 0x1980u),
            false)
            << "single and dual layer mixed for " << bit;
    }
}

TEST(DiscTypes, PressedSourcesLargerThanALayerGoToDualLayerBlanks) {
    struct Case {
        DiscType source;
        uint64_t blocks;
        DiscTypeMask blanks;
    };
    const Case cases[] = {
        {DvdRom, 0, 0x670},
        {DvdRom, kDvdLayerBlocks, 0x670},
        {DvdRom, kDvdLayerBlocks + 1, 0x1980},
        {DvdRom, 4173824, 0x1980},
        {HdDvdRom, kHdDvdLayerBlocks, 0x1C000},
        {HdDvdRom, kHdDvdLayerBlocks + 1, 0x60000},
        // Recorded media name their layers themselves; other families
        // have no dual-layer type of their own.
        {DvdPlusR, kDvdLayerBlocks + 1, 0x670},
        {DvdPlusRDl, 1000, 0x1980},
        {HdDvdRam, kHdDvdLayerBlocks + 1, 0x1C000},
        {BdRom, 24438784, 0x300000},
        {CdRom, kDvdLayerBlocks + 1, 0x6},
        {Unknown, kDvdLayerBlocks + 1, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompatibleBlankTypes(c.source, c.blocks), c.blanks)
            << c.source << " " << c.blocks;
    }
}

TEST(DiscTypes, TypeListsJoinNamesLowestFirst) {
    EXPECT_EQ(DescribeTypeList(0), u"Not supported");
    EXPECT_EQ(DescribeTypeList(6), u"CD-R, CD-RW");
    EXPECT_EQ(DescribeTypeList(BdRe | CdRom | DvdPlusR), u"CD-ROM, DVD+R, BD-RE");
}

}  // namespace
}  // namespace vestrel
