#include "drive/volume_label.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "drive/cdb.h"
#include "drive/mmc_commands.h"
#include "drive/replies.h"

namespace vestrel {

namespace {

constexpr uint8_t kIsoPrimaryType = 1;
constexpr uint8_t kIsoTerminatorType = 255;
constexpr size_t kIsoVolumeIdOffset = 40;
constexpr size_t kIsoVolumeIdLength = 32;

constexpr size_t kUdfTagLength = 16;
constexpr size_t kUdfTagChecksumOffset = 4;
constexpr size_t kUdfLogicalVolumeIdOffset = 84;
constexpr size_t kUdfLogicalVolumeIdLength = 128;
constexpr uint8_t kCs0EightBit = 8;
constexpr uint8_t kCs0SixteenBit = 16;
constexpr uint8_t kDataTrackControl = 0x04;
constexpr uint8_t kLeadOutTrack = 0xAA;

// The label of the first logical volume descriptor in one descriptor
// sequence, which ends at a terminating descriptor or at a sector that is
// no descriptor.
std::optional<std::u16string> LabelInSequence(const UdfExtent& extent, const SectorReader& read,
                                              std::vector<uint8_t>& sector) {
    const uint64_t sectors = std::min<uint64_t>(
        (uint64_t{extent.length} + kDataSectorSize - 1) / kDataSectorSize, kUdfSequenceLimit);
    for (uint32_t i = 0; i < sectors; ++i) {
        if (extent.location > UINT32_MAX - i || !read(extent.location + i, sector))
            return std::nullopt;
        const std::optional<uint16_t> tag = UdfTagIdentifier(ByteReader(sector));
        if (!tag || *tag == kUdfTerminatingTag)
            return std::nullopt;
        if (*tag == kUdfLogicalVolumeTag)
            return UdfLogicalVolumeIdentifier(ByteReader(sector));
    }
    return std::nullopt;
}

}  // namespace

IsoDescriptorKind ClassifyIsoDescriptor(ByteReader sector) {
    if (!sector.Has(0, 6) || std::memcmp(sector.data() + 1, "CD001", 5) != 0)
        return IsoDescriptorKind::NotIso;
    switch (sector.U8(0)) {
        case kIsoPrimaryType:
            return IsoDescriptorKind::Primary;
        case kIsoTerminatorType:
            return IsoDescriptorKind::Terminator;
        default:
            return IsoDescriptorKind::Other;
    }
}

std::u16string IsoVolumeIdentifier(ByteReader sector) {
    const ByteReader field = sector.Sub(kIsoVolumeIdOffset, kIsoVolumeIdLength);
    std::u16string text;
    for (size_t i = 0; i < field.size() && field.U8(i) != 0; ++i)
        text.push_back(field.U8(i));
    while (!text.empty() && text.back() == u' ')
        text.pop_back();
    return text;
}

std::optional<uint16_t> UdfTagIdentifier(ByteReader sector) {
    if (!sector.Has(0, kUdfTagLength))
        return std::nullopt;
    uint8_t sum = 0;
    for (size_t i = 0; i < kUdfTagLength; ++i) {
        if (i != kUdfTagChecksumOffset)
            sum = static_cast<uint8_t>(sum + sector.U8(i));
    }
    if (sum != sector.U8(kUdfTagChecksumOffset))
        return std::nullopt;
    return sector.Le16(0);
}

std::optional<UdfAnchor> ReadUdfAnchor(ByteReader sector) {
    if (UdfTagIdentifier(sector) != kUdfAnchorTag || !sector.Has(16, 16))
        return std::nullopt;
    UdfAnchor anchor;
    anchor.main = {sector.Le32(16), sector.Le32(20)};
    anchor.reserve = {sector.Le32(24), sector.Le32(28)};
    return anchor;
}

std::optional<std::u16string> UdfLogicalVolumeIdentifier(ByteReader sector) {
    if (UdfTagIdentifier(sector) != kUdfLogicalVolumeTag ||
        !sector.Has(kUdfLogicalVolumeIdOffset, kUdfLogicalVolumeIdLength)) {
        return std::nullopt;
    }
    return DecodeDstring(sector.Sub(kUdfLogicalVolumeIdOffset, kUdfLogicalVolumeIdLength));
}

std::u16string DecodeDstring(ByteReader field) {
    if (field.size() < 2)
        return {};
    // The used length counts the compression ID; it never reaches the
    // length byte itself.
    const size_t used = std::min<size_t>(field.U8(field.size() - 1), field.size() - 1);
    const uint8_t compression = field.U8(0);
    std::u16string text;
    if (compression == kCs0EightBit) {
        for (size_t i = 1; i < used && field.U8(i) != 0; ++i)
            text.push_back(field.U8(i));
    } else if (compression == kCs0SixteenBit) {
        for (size_t i = 1; i + 1 < used && field.Be16(i) != 0; i += 2)
            text.push_back(field.Be16(i));
    }
    return text;
}

std::optional<std::u16string> DataTrackVolumeLabel(uint32_t trackStart, const SectorReader& read) {
    std::vector<uint8_t> sector(kDataSectorSize);
    for (uint32_t i = 0; i < kIsoDescriptorLimit; ++i) {
        const uint64_t lba = uint64_t{trackStart} + kIsoFirstDescriptor + i;
        if (lba > UINT32_MAX || !read(static_cast<uint32_t>(lba), sector))
            break;
        const IsoDescriptorKind kind = ClassifyIsoDescriptor(ByteReader(sector));
        if (kind == IsoDescriptorKind::Primary)
            return IsoVolumeIdentifier(ByteReader(sector));
        if (kind != IsoDescriptorKind::Other)
            break;
    }

    const uint64_t anchorLba = uint64_t{trackStart} + kUdfAnchorSector;
    if (anchorLba > UINT32_MAX || !read(static_cast<uint32_t>(anchorLba), sector))
        return std::nullopt;
    const std::optional<UdfAnchor> anchor = ReadUdfAnchor(ByteReader(sector));
    if (!anchor)
        return std::nullopt;
    if (std::optional<std::u16string> label = LabelInSequence(anchor->main, read, sector))
        return label;
    return LabelInSequence(anchor->reserve, read, sector);
}

bool ReadDiscVolumeLabel(char16_t letter, std::u16string& label) {
    label.clear();
    std::vector<uint8_t> reply(kTocLength);
    if (!SendReadToc(letter, false, reply).ok())
        return false;
    const Toc toc = ReadTocReply(ByteReader(reply));
    if (toc.entries.empty() || toc.entries.front().trackNumber == kLeadOutTrack)
        return false;
    const TocEntry& first = toc.entries.front();
    if (!(first.control & kDataTrackControl)) {
        label = kAudioCdLabel;
        return true;
    }
    const SectorReader read = [letter](uint32_t lba, std::span<uint8_t> sector) {
        return SendRead10(letter, lba, 1, sector).ok();
    };
    std::optional<std::u16string> found = DataTrackVolumeLabel(first.address, read);
    if (!found)
        return false;
    label = std::move(*found);
    return true;
}

}  // namespace vestrel
