// The volume label of a disc read from the disc itself, for systems whose
// volume services do not name optical discs as Windows does: the volume
// identifier of the ISO 9660 primary volume descriptor or, on a disc
// without ISO 9660, the logical volume identifier of its UDF file system.
// A CD that starts with audio is "Audio CD". The readers of the sectors
// are bounded by the bytes given, and the walk over a disc by a fixed
// number of sector reads.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "drive/bytes.h"

namespace vestrel {

constexpr uint32_t kIsoFirstDescriptor = 16;  // the volume descriptor set starts here
constexpr uint32_t kIsoDescriptorLimit = 16;  // descriptors looked at, at most
constexpr uint32_t kUdfAnchorSector = 256;    // the anchor volume descriptor pointer
constexpr uint32_t kUdfSequenceLimit = 32;    // sectors of a descriptor sequence read, at most
// Every sector the walk over one data track may read.
constexpr uint32_t kVolumeLabelSectorReads = kIsoDescriptorLimit + 1 + 2 * kUdfSequenceLimit;

inline constexpr char16_t kAudioCdLabel[] = u"Audio CD";

enum class IsoDescriptorKind { Primary, Terminator, Other, NotIso };
// One sector of the ISO 9660 volume descriptor set: type byte 0, "CD001"
// in bytes 1..5 (the version byte after them is not held to 1).
IsoDescriptorKind ClassifyIsoDescriptor(ByteReader sector);
// Bytes 40..71 of a primary volume descriptor up to the first NUL,
// trailing spaces removed; bytes taken as Latin-1.
std::u16string IsoVolumeIdentifier(ByteReader sector);

// The identifier of a UDF descriptor tag (bytes 0..1) when the tag is
// whole and its checksum (byte 4) holds.
std::optional<uint16_t> UdfTagIdentifier(ByteReader sector);
constexpr uint16_t kUdfPrimaryVolumeTag = 1;
constexpr uint16_t kUdfAnchorTag = 2;
constexpr uint16_t kUdfLogicalVolumeTag = 6;
constexpr uint16_t kUdfTerminatingTag = 8;

struct UdfExtent {
    uint32_t length = 0;    // bytes
    uint32_t location = 0;  // first sector
};
struct UdfAnchor {
    UdfExtent main;
    UdfExtent reserve;
};
// An anchor volume descriptor pointer: the main and reserve volume
// descriptor sequences.
std::optional<UdfAnchor> ReadUdfAnchor(ByteReader sector);
// A logical volume descriptor: its logical volume identifier (a 128-byte
// dstring at byte 84).
std::optional<std::u16string> UdfLogicalVolumeIdentifier(ByteReader sector);
// A dstring of OSTA CS0: compression ID 8 (one byte a character, Latin-1)
// or 16 (UTF-16, big-endian), used length in the field's last byte, up to
// the first NUL. Anything else is empty.
std::u16string DecodeDstring(ByteReader field);

// Reads one 2048-byte sector; false when it cannot be read.
using SectorReader = std::function<bool(uint32_t lba, std::span<uint8_t> sector)>;
// The label of the data track starting at `trackStart`: ISO 9660 first,
// then UDF; none when the track holds neither.
std::optional<std::u16string> DataTrackVolumeLabel(uint32_t trackStart, const SectorReader& read);

// Reads the label of the disc in the drive: READ TOC for its first track,
// then READ (10) of the descriptors. False when the disc holds no file
// system the label can be read from, or cannot be read.
bool ReadDiscVolumeLabel(char16_t letter, std::u16string& label);

}  // namespace vestrel
