// Sub-channel Q of an audio CD: the 12-byte frame every sector carries
// (CONTROL and ADR, nine bytes of the mode's data, a CRC), the 16-byte
// formatted form READ CD returns for it, and the Q bits inside the raw
// 96-byte P-W form. On the disc CONTROL is the high nibble of byte 0 and ADR
// the low one, and every number is BCD; READ TOC and READ SUB-CHANNEL
// replies put ADR high instead (drive/replies.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "drive/bytes.h"

namespace vestrel {

constexpr size_t kQFrameBytes = 12;
constexpr size_t kFormattedQBytes = 16;
constexpr size_t kRawSubChannelBytes = 96;
constexpr uint8_t kQLeadOutTrack = 0xAA;
// Absolute time runs 150 frames (two seconds) ahead of the LBA.
constexpr int32_t kQLbaOffset = 150;
// The largest time two BCD digits of minutes hold: 99:59:74.
constexpr uint32_t kQMaxFrames = (99 * 60 + 59) * 75 + 74;

using QFrameBytes = std::array<uint8_t, kQFrameBytes>;

// The CONTROL bits, wherever the nibble sits.
namespace qcontrol {
constexpr uint8_t PreEmphasis = 0x1;
constexpr uint8_t CopyPermitted = 0x2;
constexpr uint8_t DataTrack = 0x4;
constexpr uint8_t FourChannel = 0x8;
}  // namespace qcontrol

// ADR values: what bytes 1..9 of a Q frame hold.
namespace qadr {
constexpr uint8_t Position = 1;       // track, index, relative and absolute time
constexpr uint8_t CatalogNumber = 2;  // the media catalog number (UPC/EAN)
constexpr uint8_t Isrc = 3;           // the track's ISRC
}  // namespace qadr

// Two BCD digits to their value; nothing when either nibble is above 9.
// (ToBcd, the other way, is in drive/cd_sector.h.)
std::optional<uint8_t> FromBcd(uint8_t bcd);

// The CRC Q frames and CD-Text packs carry: CRC-16 with polynomial 1021h,
// initial value 0, most significant bit first, every bit inverted. Stored
// big-endian after the bytes it covers.
uint16_t SubcodeCrc(std::span<const uint8_t> bytes);

// A frame's text codes: a media catalog number is 13 ASCII digits; an ISRC
// 2 letters, 3 letters or digits and 7 digits.
bool IsCatalogNumber(std::string_view text);
bool IsIsrc(std::string_view text);

// A Q frame's content, numbers in binary. Which fields count depends on adr.
struct QFrame {
    uint8_t control = 0;  // 4 bits
    uint8_t adr = 0;      // 4 bits
    // ADR 1.
    uint8_t track = 0;            // 1..99, kQLeadOutTrack in the lead-out
    uint8_t index = 0;            // 0..99
    uint32_t relativeFrames = 0;  // counts down to 0 through index 0, up from 0 after
    uint32_t absoluteFrames = 0;  // LBA + 150
    // ADR 2 and 3.
    std::string code;    // the 13 digits of the catalog number, the 12 characters of the ISRC
    uint8_t aframe = 0;  // the frame (0..74) of the absolute time

    bool operator==(const QFrame&) const = default;
};

// Why a frame did not decode.
enum class QFault : uint8_t {
    None,
    TooShort,      // fewer bytes than the frame
    UnknownMode,   // ADR other than 1, 2 or 3
    NotBcd,        // a nibble above 9 where a digit belongs
    OutOfRange,    // a second above 59, a frame above 74, a track or index above 99
    BadCharacter,  // an ISRC 6-bit code outside '0'..'9', 'A'..'Z'
};

enum class QCrc : uint8_t {
    Matches,
    Differs,
    Absent,  // formatted Q with both CRC bytes 0: the drive did not pass it on
};

struct QDecoded {
    QFault fault = QFault::TooShort;
    QCrc crc = QCrc::Differs;
    // Decoded as far as it goes: control and adr whenever byte 0 was there.
    QFrame frame;
    bool ok() const { return fault == QFault::None; }
};

// The 12 bytes of a frame as on the disc, CRC included; nothing when a
// field does not fit (adr not 1..3, a number above its range, a code of the
// wrong length or with characters the mode cannot carry).
std::optional<QFrameBytes> EncodeQFrame(const QFrame& frame);

// Decodes a frame as on the disc (or out of raw P-W). The CRC is reported,
// not enforced: a frame whose CRC differs still has its fields decoded.
QDecoded DecodeQFrame(ByteReader frame);

// The ADR 1 frame content of the sector at `lba` inside index `index` of
// `track`, whose INDEX 01 is at `indexOneLba`: from INDEX 01 on the relative
// time counts up from 0; before it (the pre-gap, index 0) it counts down
// and reaches 0 on the last sector before INDEX 01. LBAs before -150 clamp
// to absolute time 0.
QFrame QPositionAt(int32_t lba, uint8_t control, uint8_t track, uint8_t index, int32_t indexOneLba);
// The other way: how many sectors an ADR 1 frame lies after its track's
// INDEX 01 (negative in the pre-gap), and its LBA.
int32_t QOffsetFromIndexOne(const QFrame& frame);
int32_t QLba(const QFrame& frame);

// READ CD sub-channel selection 010b: 16 bytes per sector, bytes 0..11 the Q
// frame with CONTROL high as on the disc, bytes 10 and 11 the CRC or both 0.
// Drives differ in the numbers: some keep them BCD as on the disc, others
// convert them to binary; DetectFormattedQNumbers tells which from a
// sector of known LBA. Only ADR 1 numbers are taken as binary: catalog
// number and ISRC frames are read as on the disc either way, as no drive is
// known to convert those.
enum class QNumbers : uint8_t { Bcd, Binary };
QDecoded DecodeFormattedQ(ByteReader q, QNumbers numbers);
// How a drive gives the ADR 1 numbers: the reading whose absolute time is
// lba + 150. Nothing when the frame is not a decodable ADR 1 frame, when
// neither reading gives that time, or when both do (every digit below 10:
// ask at another LBA).
std::optional<QNumbers> DetectFormattedQNumbers(ByteReader q, int32_t lba);

// READ CD sub-channel selection 001b: 96 bytes, one per frame of the
// section, each carrying one bit of every channel: P in bit 7, Q in bit 6,
// R..W in bits 5..0. P and Q are not interleaved: the Q frame is bit 6 of
// bytes 0..95, most significant bit first. Nothing from fewer than 96 bytes.
std::optional<QFrameBytes> QFromRawSubChannel(ByteReader raw);
// The raw form of a Q frame with the P bit given for every byte and R..W 0.
std::array<uint8_t, kRawSubChannelBytes> RawSubChannel(const QFrameBytes& q, bool p);

}  // namespace vestrel
