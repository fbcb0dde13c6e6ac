// The drive's top profile and its read and write masks, from replies and
// from a scripted drive.
#include <gtest/gtest.h>

#include <thread>

#include "drive/capabilities.h"
#include "drive/drive_lock.h"
#include "tests/support/reply_builders.h"
#include "tests/support/scripted_transport.h"

namespace vestrel {
namespace {

using namespace disc;
using namespace vestrel::testing;

std::optional<uint16_t> Top(const std::vector<uint16_t>& profiles) {
    Bytes r = Configuration(0, {ProfileListFeature(profiles)});
    return HighestProfile(ByteReader(r));
}

DriveCapabilities FromFeatures(const std::vector<Bytes>& features) {
    Bytes r = Configuration(0, features);
    ByteReader reader(r);
    return CapabilitiesFromReplies(nullptr, &reader);
}

TEST(HighestProfile, HdDvdNeverDisplacesABdMaximum) {
    EXPECT_EQ(Top({0x0043, 0x0040, 0x0051, 0x0050, 0x0010}), 0x0043);
    EXPECT_EQ(Top({0x0051, 0x0043}), 0x0051);
    EXPECT_EQ(Top({0x0008, 0x0010, 0x001B, 0x002B}), 0x002B);
    EXPECT_EQ(Top({0x0010, 0x0043, 0x005A}), 0x0043);
}

TEST(HighestProfile, MalformedListsHaveNone) {
    // Data length under 6.
    Bytes r = Configuration(0, {ProfileListFeature({0x10})});
    r[3] = 5;
    EXPECT_EQ(HighestProfile(ByteReader(r)), std::nullopt);
    // First feature is not the profile list.
    r = Configuration(0, {FeatureDescriptor(0x001E, {0, 0, 0, 0})});
    EXPECT_EQ(HighestProfile(ByteReader(r)), std::nullopt);
    // Profile list with additional length under 4.
    r = Configuration(0, {FeatureDescriptor(0x0000, {0x00, 0x10})});
    EXPECT_EQ(HighestProfile(ByteReader(r)), std::nullopt);
    // Negative data length.
    r = Configuration(0, {ProfileListFeature({0x10})});
    r[0] = 0x80;
    EXPECT_EQ(HighestProfile(ByteReader(r)), std::nullopt);
    // A list cut short by the end of the reply keeps its whole descriptors.
    r = Configuration(0, {ProfileListFeature({0x0010, 0x0043})});
    EXPECT_EQ(HighestProfile(ByteReader(r.data(), r.size() - 2)), 0x0010);
    // Nothing at all.
    EXPECT_EQ(HighestProfile(ByteReader()), std::nullopt);
}

TEST(Capabilities, DvdMinusWriteWithDualLayerBit) {
    DriveCapabilities c = FromFeatures({FeatureDescriptor(0x002F, {0x08, 0, 0, 0})});
    EXPECT_EQ(c.writes, DvdR | DvdRw | DvdRDl);
    EXPECT_EQ(c.reads, 0u);
}

TEST(Capabilities, EachFeatureAddsItsTypes) {
    struct Case {
        uint16_t code;
        Bytes data;
        DiscTypeMask reads, writes;
        bool rw;  // records the R-W sub-channels of a lead-in
    } cases[] = {
        {0x001E, {0, 0, 0, 0}, CdRom | CdR | CdRw, 0, false},
        {0x001F, {0, 0, 0x03, 0}, DvdRom | DvdR | DvdRw | DvdRDl | DvdRwDl, 0, false},
        {0x001F, {0, 0, 0, 0}, DvdRom | DvdR | DvdRw, 0, false},
        {0x002A, {0x01, 0, 0, 0}, DvdPlusRw, DvdPlusRw, false},
        {0x002A, {0x00, 0, 0, 0}, DvdPlusRw, 0, false},
        {0x002B, {0x01, 0, 0, 0}, DvdPlusR, DvdPlusR, false},
        {0x002D, {0, 0, 0, 0}, 0, CdR, false},
        {0x002E, {0x02, 0, 0, 0}, 0, CdR | CdRw, false},
        {0x002E, {0x00, 0, 0, 0}, 0, CdR, false},
        {0x002E, {0x67, 0, 0xFF, 0xFF}, 0, CdR | CdRw, true},
        {0x002D, {0x01, 0, 0, 0}, 0, CdR, false},
        {0x0037, {0, 0, 0, 0}, 0, CdRw, false},
        {0x003A, {0x01, 0, 0, 0}, DvdPlusRwDl, DvdPlusRwDl, false},
        {0x003B, {0x01, 0, 0, 0}, DvdPlusRDl, DvdPlusRDl, false},
        {0x0050, {0x01, 0, 0x01, 0}, HdDvdRom | HdDvdR | HdDvdRw | HdDvdRam, 0, false},
        {0x0050, {0x00, 0, 0x00, 0}, HdDvdRom, 0, false},
        {0x0051, {0x01, 0, 0x01, 0}, 0, HdDvdR | HdDvdRw | HdDvdRam, false},
        {0x0080, {0, 0, 0, 0}, HybridDisc, 0, false},
        {0x0107, {0xFF, 0xFF, 0xFF, 0xFF}, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        DriveCapabilities got = FromFeatures({FeatureDescriptor(c.code, c.data)});
        EXPECT_EQ(got.reads, c.reads);
        EXPECT_EQ(got.writes, c.writes);
        Bytes current = Configuration(0, {FeatureDescriptor(c.code, c.data)});
        Bytes notCurrent = Configuration(0, {FeatureDescriptor(c.code, c.data, 0x02)});
        EXPECT_EQ(RecordsLeadInRw(ByteReader(current)), c.rw);
        EXPECT_FALSE(RecordsLeadInRw(ByteReader(notCurrent)));
    }
}

TEST(Capabilities, BdFeaturesReadTheirClassZeroBitmaps) {
    Bytes read(28, 0);
    read[5] = 0x02;   // descriptor byte 9: BD-RE version 1
    read[13] = 0x02;  // descriptor byte 17: BD-R
    read[21] = 0x02;  // descriptor byte 25: BD-ROM
    Bytes write(24, 0);
    write[5] = 0x04;  // BD-RE version 2
    write[13] = 0x02;
    DriveCapabilities c =
        FromFeatures({FeatureDescriptor(0x0040, read), FeatureDescriptor(0x0041, write)});
    EXPECT_EQ(c.reads, BdRe | BdR | BdRom);
    EXPECT_EQ(c.writes, BdRe | BdR);

    // BD Write with only version 1 of BD-RE does not write BD-RE.
    write[5] = 0x02;
    c = FromFeatures({FeatureDescriptor(0x0041, write)});
    EXPECT_EQ(c.writes, BdR);
    // A BD Read feature too short to hold its bitmaps adds nothing.
    c = FromFeatures({FeatureDescriptor(0x0040, {0, 0, 0, 0})});
    EXPECT_EQ(c.reads, 0u);
}

TEST(Capabilities, ModePageBits) {
    Bytes page = CapabilitiesPageReply(0x3B, 0x33);
    ByteReader reader(page);
    DriveCapabilities c = CapabilitiesFromReplies(&reader, nullptr);
    EXPECT_EQ(c.reads, CdRom | CdR | CdRw | DvdRom | DvdR | DvdRam);
    EXPECT_EQ(c.writes, CdR | CdRw | DvdR | DvdRam);
}

TEST(Capabilities, TopProfileJoinsTheReadMask) {
    DriveCapabilities c = FromFeatures({ProfileListFeature({0x0008, 0x0043, 0x0051})});
    EXPECT_EQ(c.reads, BdRe);
}

TEST(Capabilities, AskedOfADriveWithOneCommandFailing) {
    Bytes config = Configuration(
        0x0010, {ProfileListFeature({0x0008, 0x0010}), FeatureDescriptor(0x001F, {0, 0, 0, 0})});
    Bytes page = CapabilitiesPageReply(0x01, 0x01);
    bool failModeSense = false;
    ScriptedTransport drive([&](const ScsiCommand& c) {
        if (c.cdb[0] == 0x5A) {
            if (failModeSense)
                return CheckCondition(5, 0x24, 0);
            FillReply(c, page);
        } else if (c.cdb[0] == 0x46) {
            FillReply(c, config);
        }
        return ScsiResult{};
    });
    DriveCapabilities c = ReadDriveCapabilities(u'E');
    EXPECT_EQ(c.reads, CdRom | CdR | DvdRom | DvdR | DvdRw);
    EXPECT_EQ(c.writes, CdR);
    ASSERT_EQ(drive.commands.size(), 2u);
    EXPECT_EQ(drive.commands[0].transferLength, 142u);
    EXPECT_EQ(drive.commands[1].transferLength, 61448u);

    failModeSense = true;
    c = ReadDriveCapabilities(u'E');
    EXPECT_EQ(c.reads, DvdRom | DvdR | DvdRw);
    EXPECT_EQ(c.writes, 0u);
}

TEST(Capabilities, WritableBlankTypesIntersectsUnderTheDriveLock) {
    Bytes config = Configuration(
        0, {FeatureDescriptor(0x002B, {0x01, 0, 0, 0}), FeatureDescriptor(0x002F, {0x00, 0, 0, 0}),
            FeatureDescriptor(0x002D, {0, 0, 0, 0}), FeatureDescriptor(0x003B, {0x01, 0, 0, 0})});
    bool lockHeldByOtherThread = false;
    ScriptedTransport drive([&](const ScsiCommand& c) {
        // Another thread must not be able to take the lock meanwhile.
        std::thread probe([&] {
            if (DriveLock().try_lock()) {
                DriveLock().unlock();
            } else {
                lockHeldByOtherThread = true;
            }
        });
        probe.join();
        if (c.cdb[0] == 0x46)
            FillReply(c, config);
        return ScsiResult{};
    });
    EXPECT_EQ(WritableBlankTypes(u'E', DvdRom), DvdR | DvdRw | DvdPlusR);
    EXPECT_EQ(WritableBlankTypes(u'E', DvdRom, kDvdLayerBlocks), DvdR | DvdRw | DvdPlusR);
    EXPECT_EQ(WritableBlankTypes(u'E', DvdRom, kDvdLayerBlocks + 1), DvdPlusRDl);
    EXPECT_EQ(WritableBlankTypes(u'E', CdRom), CdR);
    EXPECT_EQ(WritableBlankTypes(u'E', BdRom), 0u);
    EXPECT_TRUE(lockHeldByOtherThread);
}

}  // namespace
}  // namespace vestrel
