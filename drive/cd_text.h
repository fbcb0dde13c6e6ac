// CD-Text: the 18-byte packs an audio CD keeps in the R-W sub-channels of
// its lead-in (and that READ TOC format 0101b returns), the texts they
// carry, and the 96-byte lead-in blocks a recorder is given them in.
//
// A pack: byte 0 the pack type (80h..8Fh); byte 1 the track the first
// payload byte belongs to (0 = the album; in 8Fh packs which of the three
// it is, 0..2); byte 2 the sequence number, counted from 0 through all
// packs of a block; byte 3 the double-byte flag (bit 7), the block number
// (bits 6..4) and how many characters of the current text earlier packs
// already held (bits 3..0, 15 when 15 or more); 12 payload bytes; the CRC
// of drive/subchannel_q.h over bytes 0..15, big-endian. Per block and pack
// type the texts of the album and of each track follow each other, each
// ended by a NUL (two in double-byte text), cut into 12-byte payloads, the
// last one padded with 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "drive/bytes.h"
#include "drive/disc_marks.h"

namespace vestrel {

constexpr size_t kCdTextPackBytes = 18;
constexpr size_t kCdTextPayloadBytes = 12;
constexpr size_t kCdTextMaxBlocks = 8;
constexpr size_t kCdTextMaxPacksPerBlock = 256;
constexpr uint8_t kCdTextMaxTrack = 99;
// The lead-in: every 96-byte block holds four packs, each spread over 24
// bytes of which only the low 6 bits are used.
constexpr size_t kCdTextSpreadBytes = 24;
constexpr size_t kLeadInBlockBytes = 96;
constexpr size_t kPacksPerLeadInBlock = kLeadInBlockBytes / kCdTextSpreadBytes;

using CdTextPack = std::array<uint8_t, kCdTextPackBytes>;

namespace cdtext {
constexpr uint8_t Title = 0x80;
constexpr uint8_t Performer = 0x81;
constexpr uint8_t Songwriter = 0x82;
constexpr uint8_t Composer = 0x83;
constexpr uint8_t Arranger = 0x84;
constexpr uint8_t Message = 0x85;
constexpr uint8_t DiscId = 0x86;   // the disc's catalog text
constexpr uint8_t Genre = 0x87;    // binary code and text; not built or read as text
constexpr uint8_t TocInfo = 0x88;  // binary; not built or read as text
constexpr uint8_t TocInfo2 = 0x89;
constexpr uint8_t Closed = 0x8D;    // closed information, not shown by players
constexpr uint8_t UpcIsrc = 0x8E;   // the album's UPC/EAN, each track's ISRC
constexpr uint8_t SizeInfo = 0x8F;  // three packs per block describing the block

// Character codes of the size information (for 80h..85h).
constexpr uint8_t Iso8859_1 = 0x00;
constexpr uint8_t Ascii = 0x01;
constexpr uint8_t MsJis = 0x80;
// Language codes (EBU Tech 3264) of the size information.
constexpr uint8_t English = 0x09;
constexpr uint8_t German = 0x08;
constexpr uint8_t French = 0x0F;
constexpr uint8_t Japanese = 0x69;
}  // namespace cdtext

// The pack types whose texts are one for the album and one per track
// (80h..85h, 8Eh); the other text types (86h, 8Dh) carry the album's only.
bool CdTextHasTrackTexts(uint8_t packType);
// Whether packs of `packType` in a block of `characterCode` hold
// double-byte text. Only the MS-JIS code is double-byte, and the size
// information's character code covers 80h..85h only: 8Dh and 8Eh are
// single-byte in every block, and 86h (a catalog text) is taken to be
// single-byte too.
bool CdTextIsDoubleByte(uint8_t packType, uint8_t characterCode);

// One language block.
struct CdTextBlock {
    uint8_t language = cdtext::English;
    uint8_t characterCode = cdtext::Iso8859_1;
    uint8_t copyright = 0;  // 00h, or 03h for copyrighted text
    uint8_t firstTrack = 1;
    uint8_t lastTrack = 1;
    // Texts by pack type, as bytes in the block's character code, indexed
    // by track number: [0] is the album's, [n] track n's. Entries missing
    // from a list are empty texts; entries below firstTrack or above
    // lastTrack are not written (nor any but [0] for album-only types).
    std::map<uint8_t, std::vector<std::string>> texts;

    bool operator==(const CdTextBlock&) const = default;
};

enum class CdTextFault : uint8_t {
    None,
    NoBlocks,
    TooManyBlocks,      // more than 8
    TrackRange,         // first track 0, above the last, or a last track above 99
    PackType,           // a text of a type that is not a text type
    TextHasTerminator,  // a NUL (double-byte: an aligned 00 00) inside a text
    OddDoubleByteText,  // double-byte text of an odd byte count
    TooManyPacks,       // a block needs more than 256 packs
};

struct CdTextBuild {
    CdTextFault fault = CdTextFault::None;
    std::vector<CdTextPack> packs;  // block 0's first, each block's 8Fh packs last
};

// The packs of the blocks in order (block n is blocks[n]), CRCs set. A
// track's text equal to the previous track's is written as a TAB ("same as
// before") only in a block that would not fit in 256 packs otherwise.
CdTextBuild BuildCdTextPacks(std::span<const CdTextBlock> blocks);

// The packs an album's texts are recorded as: one English block in ISO
// 8859-1 with the title, performer and songwriter of the album and of each
// track (tracks[0] is track firstTrack), a type only when one of its texts
// is not empty. The texts are UTF-8; characters beyond ISO 8859-1 become
// '?'. Empty when there is no text or the block cannot be built.
std::vector<CdTextPack> AlbumCdTextPacks(const CdTexts& album, std::span<const CdTexts> tracks,
                                         uint8_t firstTrack = 1);
std::vector<CdTextPack> AlbumCdTextPacks(const DiscMarks& marks);

// The usable packs of a read: CRC-valid, of types 80h..8Fh, extension flag
// clear; each (block, sequence number) once, the first seen, in order.
// Packs read from the lead-in repeat in cycles; a reply holds each once.
struct CdTextPackSet {
    std::vector<CdTextPack> packs;
    size_t rejected = 0;     // bad CRC, unknown type or extension flag
    size_t conflicting = 0;  // a valid pack whose block and number came earlier with other bytes
};
CdTextPackSet CollectCdTextPacks(std::span<const CdTextPack> packs);

struct CdTextReading {
    std::vector<CdTextBlock> blocks;  // in block number order, blocks without packs left out
    CdTextPackSet set;
    size_t missingPacks = 0;  // sequence numbers no pack was found for
};

// The texts of a read: packs are collected as above, then each block's
// text types are taken apart in sequence order. After a missing pack the
// track byte and character position of the next pack pick the texts up
// again; a text cut by the gap is left empty. TABs are replaced by the
// previous track's text. Track numbers above 99 are ignored. Without a
// size information pack the first track is 1 and the last the highest
// with a text.
CdTextReading ReadCdTextPacks(std::span<const CdTextPack> packs);

// The 18 bytes of a pack spread over 24 bytes: every 3 bytes become four
// 6-bit symbols, most significant first, in bits 5..0 (bits 7..6 are 0).
std::array<uint8_t, kCdTextSpreadBytes> SpreadCdTextPack(const CdTextPack& pack);
// The other way; bits 7..6 (where the drive puts P and Q) are ignored,
// missing bytes read as 0.
CdTextPack GatherCdTextPack(ByteReader spread);

// The lead-in blocks from LBA `leadInStartLba` up to -151 are filled with
// the packs in repeated cycles: `out` (whole 96-byte blocks; a shorter tail
// is left alone) takes lead-in blocks firstBlock, firstBlock + 1, ..., so
// that a writer can fill them a few at a time. Nothing is written when
// there are no packs.
uint32_t CdTextLeadInBlocks(int32_t leadInStartLba);
void FillCdTextLeadIn(std::span<const CdTextPack> cycle, uint32_t firstBlock,
                      std::span<uint8_t> out);
// Every whole 24-byte group of lead-in blocks gathered back into a pack.
std::vector<CdTextPack> GatherCdTextLeadIn(ByteReader blocks);

}  // namespace vestrel
