// Volume labels read from a disc's own sectors: ISO 9660, else UDF.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "drive/volume_label.h"

namespace vestrel {
namespace {

using Bytes = std::vector<uint8_t>;

// A 2048-byte sector with `head` at its start and each (offset, bytes) pair
// after it.
Bytes Sector(const Bytes& head, const std::vector<std::pair<size_t, Bytes>>& fields = {}) {
    Bytes s(2048, 0);
    std::copy(head.begin(), head.end(), s.begin());
    for (const auto& [offset, bytes] : fields)
        std::copy(bytes.begin(), bytes.end(), s.begin() + static_cast<std::ptrdiff_t>(offset));
    return s;
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// ISO 9660 descriptors: type, "CD001", version 1.
const Bytes kPrimary = {0x01, 'C', 'D', '0', '0', '1', 0x01};
const Bytes kSupplementary = {0x02, 'C', 'D', '0', '0', '1', 0x01};
const Bytes kTerminator = {0xFF, 'C', 'D', '0', '0', '1', 0x01};
const Bytes kBeginExtended = {0x00, 'B', 'E', 'A', '0', '1', 0x01};

// UDF descriptor tags (version 2, no CRC) with their checksums: the anchor
// at 256, a partition descriptor at 32, logical volume descriptors at 33
// and 49, a terminating descriptor at 34.
const Bytes kAnchorTag = {0x02, 0, 0x02, 0, 0x05, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x01, 0, 0};
const Bytes kPartitionTag = {0x05, 0, 0x02, 0, 0x27, 0, 0, 0, 0, 0, 0, 0, 0x20, 0, 0, 0};
const Bytes kLogicalVolumeTag = {0x06, 0, 0x02, 0, 0x29, 0, 0, 0, 0, 0, 0, 0, 0x21, 0, 0, 0};
const Bytes kReserveVolumeTag = {0x06, 0, 0x02, 0, 0x39, 0, 0, 0, 0, 0, 0, 0, 0x31, 0, 0, 0};
const Bytes kTerminatingTag = {0x08, 0, 0x02, 0, 0x2C, 0, 0, 0, 0, 0, 0, 0, 0x22, 0, 0, 0};
// Main sequence: 16 sectors (8000h bytes) at 32; reserve: 16 at 48.
const Bytes kExtents = {0x00, 0x80, 0, 0, 0x20, 0, 0, 0, 0x00, 0x80, 0, 0, 0x30, 0, 0, 0};

// A 128-byte dstring field.
Bytes Dstring(const Bytes& compressedWithId) {
    Bytes field(128, 0);
    std::copy(compressedWithId.begin(), compressedWithId.end(), field.begin());
    field[127] = static_cast<uint8_t>(compressedWithId.size());
    return field;
}

// A disc of `blocks` sectors, zero where nothing is given; reads are
// counted, and reads past its end fail.
struct Disc {
    uint32_t blocks = 300;
    std::map<uint32_t, Bytes> sectors;
    mutable uint32_t reads = 0;
    SectorReader Reader() const {
        return [this](uint32_t lba, std::span<uint8_t> out) {
            ++reads;
            if (lba >= blocks || out.size() != 2048)
                return false;
            auto it = sectors.find(lba);
            std::fill(out.begin(), out.end(), 0);
            if (it != sectors.end())
                std::copy(it->second.begin(), it->second.end(), out.begin());
            return true;
        };
    }
};

TEST(VolumeLabel, SectorReadersTakeWhatTheBytesHold) {
    EXPECT_EQ(ClassifyIsoDescriptor(ByteReader(kPrimary)), IsoDescriptorKind::Primary);
    EXPECT_EQ(ClassifyIsoDescriptor(ByteReader(kTerminator)), IsoDescriptorKind::Terminator);
    EXPECT_EQ(ClassifyIsoDescriptor(ByteReader(kBeginExtended)), IsoDescriptorKind::NotIso);
    EXPECT_EQ(ClassifyIsoDescriptor(ByteReader(kPrimary.data(), 5)), IsoDescriptorKind::NotIso);

    // Trailing spaces go, a NUL ends the field, bytes above 7Fh are Latin-1.
    Bytes pvd = Sector(kPrimary, {{40, Text("FILM 2024" + std::string(23, ' '))}});
    EXPECT_EQ(IsoVolumeIdentifier(ByteReader(pvd)), u"FILM 2024");
    pvd = Sector(kPrimary, {{40, {'C', 0xC9, 'T', 0, 'X'}}});
    EXPECT_EQ(IsoVolumeIdentifier(ByteReader(pvd)), u"C\u00C9T");
    EXPECT_EQ(IsoVolumeIdentifier(ByteReader(pvd.data(), 42)), u"C\u00C9");

    EXPECT_EQ(UdfTagIdentifier(ByteReader(kAnchorTag)), kUdfAnchorTag);
    Bytes badSum = kAnchorTag;
    badSum[4] ^= 1;
    EXPECT_FALSE(UdfTagIdentifier(ByteReader(badSum)));
    EXPECT_FALSE(UdfTagIdentifier(ByteReader(kAnchorTag.data(), 15)));
    std::optional<UdfAnchor> anchor =
        ReadUdfAnchor(ByteReader(Sector(kAnchorTag, {{16, kExtents}})));
    ASSERT_TRUE(anchor);
    EXPECT_EQ(anchor->main.length, 0x8000u);
    EXPECT_EQ(anchor->main.location, 32u);
    EXPECT_EQ(anchor->reserve.location, 48u);
    EXPECT_FALSE(ReadUdfAnchor(ByteReader(Sector(kPartitionTag))));

    // OSTA CS0: 8-bit, 16-bit big-endian, a used length past the field,
    // an unknown compression.
    EXPECT_EQ(DecodeDstring(ByteReader(Dstring({8, 'M', 'o', 'v', 'i', 'e'}))), u"Movie");
    EXPECT_EQ(DecodeDstring(ByteReader(Dstring({16, 0, 'D', 0, 0xE9, 0x4E, 0x2D}))),
              u"D\u00E9\u4E2D");
    Bytes field = Dstring({8, 'A', 'B'});
    field[127] = 200;
    EXPECT_EQ(DecodeDstring(ByteReader(field)), u"AB");
    EXPECT_EQ(DecodeDstring(ByteReader(Bytes{8, 'A', 'B', 3})), u"AB");
    EXPECT_EQ(DecodeDstring(ByteReader(Bytes{16, 0, 'A', 0, 4})), u"A");
    EXPECT_EQ(DecodeDstring(ByteReader(Dstring({254, 'A'}))), u"");
    EXPECT_EQ(DecodeDstring(ByteReader(Bytes{8})), u"");

    Bytes lvd = Sector(kLogicalVolumeTag, {{84, Dstring({8, 'M', 'o', 'v', 'i', 'e'})}});
    EXPECT_EQ(UdfLogicalVolumeIdentifier(ByteReader(lvd)), u"Movie");
    EXPECT_FALSE(UdfLogicalVolumeIdentifier(ByteReader(lvd.data(), 211)));
    EXPECT_FALSE(UdfLogicalVolumeIdentifier(ByteReader(Sector(kPartitionTag))));
}

TEST(VolumeLabel, IsoComesFirstThenTheUdfMainOrReserveSequence) {
    const Bytes isoPvd = Sector(kPrimary, {{40, Text("ISO_NAME")}});
    const Bytes udfLvd = Sector(kLogicalVolumeTag, {{84, Dstring({8, 'U', 'd', 'f'})}});
    const Bytes reserveLvd =
        Sector(kReserveVolumeTag, {{84, Dstring({8, 'S', 'p', 'a', 'r', 'e'})}});
    Disc udf;
    udf.sectors = {{16, Sector(kBeginExtended)},  {256, Sector(kAnchorTag, {{16, kExtents}})},
                   {32, Sector(kPartitionTag)},   {33, udfLvd},
                   {34, Sector(kTerminatingTag)}, {49, reserveLvd}};
    Disc bridge = udf;
    bridge.sectors[16] = isoPvd;
    bridge.sectors[17] = Sector(kTerminator);
    Disc reserveOnly = udf;
    reserveOnly.sectors[33][4] ^= 1;  // the main sequence's descriptor is damaged
    Disc supplementaryFirst;
    supplementaryFirst.sectors = {{16, Sector(kSupplementary)}, {17, isoPvd}};
    Disc nothing;
    Disc tiny;
    tiny.blocks = 20;  // no sector 256 to read
    tiny.sectors = {{16, Sector(kBeginExtended)}};

    struct Case {
        const char* name;
        const Disc& disc;
        std::optional<std::u16string> label;
    };
    const Case cases[] = {
        {"udf", udf, u"Udf"},
        {"bridge", bridge, u"ISO_NAME"},
        {"reserve", reserveOnly, u"Spare"},
        {"supplementary first", supplementaryFirst, u"ISO_NAME"},
        {"nothing", nothing, std::nullopt},
        {"tiny", tiny, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DataTrackVolumeLabel(0, c.disc.Reader()), c.label) << c.name;
        EXPECT_LE(c.disc.reads, kVolumeLabelSectorReads) << c.name;
    }

    // A track that starts further in has its descriptors further in.
    Disc later;
    later.blocks = 1000;
    later.sectors = {{116, isoPvd}};
    EXPECT_EQ(DataTrackVolumeLabel(100, later.Reader()), u"ISO_NAME");
}

TEST(VolumeLabel, EndlessDescriptorsStopAtTheirBounds) {
    // Every sector a supplementary ISO descriptor and the anchor's
    // sequences 4 GB long of partition descriptors.
    Disc endless;
    endless.blocks = 100000;
    const Bytes anchor = Sector(
        kAnchorTag,
        {{16, {0xFF, 0xFF, 0xFF, 0xFF, 0x20, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x20, 0, 0, 0}}});
    for (uint32_t lba = 16; lba < 256; ++lba)
        endless.sectors[lba] = Sector(kSupplementary);
    for (uint32_t lba = 32; lba < 4000; ++lba)
        endless.sectors[lba] = Sector(kPartitionTag);
    endless.sectors[256] = anchor;
    EXPECT_EQ(DataTrackVolumeLabel(0, endless.Reader()), std::nullopt);
    EXPECT_EQ(endless.reads, kVolumeLabelSectorReads);

    // Addresses past the last block are never asked for.
    Disc none;
    none.blocks = UINT32_MAX;
    for (uint32_t lba = UINT32_MAX - 4; lba < UINT32_MAX; ++lba)
        none.sectors[lba] = Sector(kSupplementary);
    EXPECT_EQ(DataTrackVolumeLabel(UINT32_MAX - 20, none.Reader()), std::nullopt);
    EXPECT_EQ(none.reads, 5u);
}

}  // namespace
}  // namespace vestrel
