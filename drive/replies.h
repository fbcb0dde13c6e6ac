// Readers for the reply fields the system uses. Every reader is bounded by
// the bytes it is given and by the lengths the reply states for itself;
// whatever lies outside either reads as absent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "drive/bytes.h"
#include "drive/cd_text.h"

namespace vestrel {

// INQUIRY: the 8-character vendor identification (bytes 8..15).
std::u16string InquiryVendor(ByteReader reply);
// INQUIRY: the 16-character product identification (bytes 16..31).
std::u16string InquiryProduct(ByteReader reply);

// GET CONFIGURATION.
struct ConfigurationHeader {
    int32_t dataLength = 0;       // bytes 0..3, signed
    uint16_t currentProfile = 0;  // bytes 6..7
};
ConfigurationHeader ReadConfigurationHeader(ByteReader reply);

// The part of a GET CONFIGURATION reply the drive says it returned: the
// 4-byte length field and dataLength bytes after it, clipped to the buffer.
// A negative length leaves only what the header itself occupies.
ByteReader ConfigurationData(ByteReader reply);

struct Feature {
    uint16_t code = 0;
    uint8_t flags = 0;  // version, persistent, current
    uint8_t additionalLength = 0;
    // The whole descriptor (header and feature data), clipped to the
    // returned data: bytes beyond it read as 0.
    ByteReader bytes;
};

// The feature descriptors from byte 8 whose 4-byte header lies within the
// returned data, in order; at most `limit` of them.
std::vector<Feature> ReadFeatures(ByteReader reply, size_t limit = SIZE_MAX);

// The profile numbers of a Profile List feature: the 4-byte descriptors
// that lie wholly within its additional length and the returned data.
std::vector<uint16_t> ReadProfileList(const Feature& profileList);

// MODE SENSE (10) page 2Ah, read with DBD: the page starts at byte 8.
struct CapabilitiesPage {
    uint8_t readSupport = 0;          // page byte 2
    uint8_t writeSupport = 0;         // page byte 3
    bool bufferUnderrunFree = false;  // page byte 4 bit 7 (BUF)
};
CapabilitiesPage ReadCapabilitiesPage(ByteReader reply);

// READ DISC INFORMATION.
struct DiscInformation {
    uint8_t discStatus = 0;  // byte 2 bits 0..1; 0 = empty disc
    bool erasable = false;   // byte 2 bit 4
    // Bytes 20..23: where the last possible lead-out starts, as 00 M S F on
    // a CD; FFFFFFFFh or 0 when the drive does not say.
    uint32_t lastLeadOutStart = 0;
};
constexpr uint8_t kDiscStatusEmpty = 0;
DiscInformation ReadDiscInformationReply(ByteReader reply);
// The last possible lead-out of a CD as an LBA (its MSF less the two
// seconds before LBA 0); nothing when the drive gave no valid time.
std::optional<uint32_t> CdLastLeadOutLba(const DiscInformation& info);

// READ TRACK INFORMATION.
struct TrackInformation {
    uint16_t trackNumber = 0;   // bytes 32 and 2
    bool reserved = false;      // byte 6 bit 7 (RT)
    bool blank = false;         // byte 6 bit 6
    bool nwaValid = false;      // byte 7 bit 0
    uint32_t trackStart = 0;    // bytes 8..11
    uint32_t nextWritable = 0;  // bytes 12..15, valid with nwaValid
    uint32_t freeBlocks = 0;    // bytes 16..19
    uint32_t trackSize = 0;     // bytes 24..27
};
// Nothing when the reply is too short to hold the fields above.
std::optional<TrackInformation> ReadTrackInformationReply(ByteReader reply);

// READ FORMAT CAPACITIES.
struct FormatDescriptor {
    uint32_t blocks = 0;
    uint8_t type = 0;        // byte 4 bits 7..2
    uint32_t parameter = 0;  // bytes 5..7, the type's own parameter
};
constexpr uint8_t kUnformattedMedium = 1;
constexpr uint8_t kFormattedMedium = 2;
struct FormatCapacities {
    uint32_t currentBlocks = 0;  // the current or maximum capacity
    uint8_t currentKind = 0;     // 1 unformatted, 2 formatted, 3 no medium
    // The formats the medium takes, as far as they lie wholly within the
    // list length and the buffer.
    std::vector<FormatDescriptor> formats;
};
FormatCapacities ReadFormatCapacitiesReply(ByteReader reply);

// REQUEST SENSE, fixed (70h, 71h) or descriptor (72h, 73h) format.
struct SenseData {
    bool valid = false;  // a sense data format this reader knows
    uint8_t senseKey = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    // The progress of a long operation, in 65536ths, where the drive gives
    // one (sense key NO SENSE or NOT READY with a valid sense-key-specific
    // field).
    std::optional<uint16_t> progress;
};
SenseData ReadSenseData(ByteReader reply);

// READ TOC/PMA/ATIP format 0.
struct TocEntry {
    uint8_t control = 0;      // low nibble of byte 1
    uint8_t trackNumber = 0;  // byte 2; AAh for the lead-out
    uint32_t address = 0;     // bytes 4..7: LBA, or 00 M S F
};
struct Toc {
    uint8_t lastTrack = 0;  // byte 3
    // One entry per track and one for the lead-out, as far as they lie
    // wholly within the TOC data length and the buffer.
    std::vector<TocEntry> entries;
    // True when every track named by lastTrack and the lead-out after it
    // were present.
    bool complete = false;
};
Toc ReadTocReply(ByteReader reply);

// GET PERFORMANCE type 03h (write speed descriptors).
struct WriteSpeedDescriptor {
    uint32_t endLba = 0;      // bytes 4..7
    uint32_t readSpeed = 0;   // bytes 8..11, kB/s
    uint32_t writeSpeed = 0;  // bytes 12..15, kB/s
};
// The descriptors the performance data length promises that also fit in
// the buffer.
std::vector<WriteSpeedDescriptor> ReadWriteSpeeds(ByteReader reply);

// READ SUB-CHANNEL formats 02h (media catalog number) and 03h (ISRC). The
// sub-channel data length (bytes 2..3) bounds the reply; byte 4 repeats the
// format; byte 8 bit 7 says whether the code is valid (MCVal, TCVal); the
// 13 or 12 ASCII characters start at byte 9. What follows them is not read:
// drives differ there.
enum class SubChannelCodeState : uint8_t {
    Malformed,  // too short for the characters, or of another format
    Absent,     // not flagged valid, or a catalog number of all '0'
    BadSyntax,  // flagged valid, but not 13 digits or not an ISRC
    Present,
};
struct SubChannelCode {
    SubChannelCodeState state = SubChannelCodeState::Malformed;
    // Format 03h: byte 5 with ADR in the high nibble and CONTROL in the low
    // one (the other way round from the Q frame on the disc), byte 6.
    uint8_t adr = 0;
    uint8_t control = 0;
    uint8_t track = 0;
    std::string text;  // the characters as received, whenever all lie within the reply
};
SubChannelCode ReadCatalogNumberReply(ByteReader reply);
SubChannelCode ReadIsrcReply(ByteReader reply);

// READ TOC/PMA/ATIP format 0101b: bytes 0..1 the length of what follows
// them, bytes 2..3 reserved, then 18-byte packs.
struct CdTextReply {
    // What the whole reply takes (the stated length and the 2 bytes before
    // it): the allocation length to ask for after reading the header alone.
    uint32_t fullLength = 0;
    // The whole packs within the stated length and the buffer.
    std::vector<CdTextPack> packs;
    // The stated length covers whole packs only and all of them arrived.
    bool complete = false;
};
CdTextReply ReadCdTextReply(ByteReader reply);

// READ TOC/PMA/ATIP format 0100b: bytes 0..1 the length of what follows
// them, bytes 2..3 reserved, then the descriptor, whose bytes 8..10 give
// where the blank's lead-in starts as M S F in binary. Times from 90:00:00
// on lie before LBA 0 ((M*60+S)*75+F - 450150). Nothing unless the stated
// length and the buffer both hold the time, its seconds and frame are in
// range and it lies before the pre-gap (LBA -150).
std::optional<int32_t> AtipLeadInStart(ByteReader reply);

}  // namespace vestrel
