#include "drive/subchannel_q.h"

#include <algorithm>

#include "drive/cd_sector.h"

namespace vestrel {

namespace {

constexpr uint32_t kFramesPerSecond = 75;
constexpr uint32_t kFramesPerMinute = 60 * kFramesPerSecond;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

// The ISRC's 6-bit character code: '0'..'9' are 00h..09h, 'A'..'Z' are
// 11h..2Ah, so that the character is the code plus 30h.
std::optional<char> IsrcCharacter(uint8_t code) {
    if (code <= 0x09 || (code >= 0x11 && code <= 0x2A))
        return static_cast<char>(code + 0x30);
    return std::nullopt;
}

// Reads numbers either as BCD or as plain binary, and remembers the first
// fault met.
struct NumberReader {
    bool bcd = true;
    QFault fault = QFault::None;

    uint8_t Value(uint8_t byte, uint8_t limit) {
        uint8_t value = byte;
        if (bcd) {
            std::optional<uint8_t> v = FromBcd(byte);
            if (!v) {
                Fail(QFault::NotBcd);
                return 0;
            }
            value = *v;
        }
        if (value > limit) {
            Fail(QFault::OutOfRange);
            return 0;
        }
        return value;
    }
    uint32_t Time(uint8_t m, uint8_t s, uint8_t f) {
        const uint32_t minutes = Value(m, 99);
        const uint32_t seconds = Value(s, 59);
        const uint32_t frames = Value(f, 74);
        return minutes * kFramesPerMinute + seconds * kFramesPerSecond + frames;
    }
    void Fail(QFault f) {
        if (fault == QFault::None)
            fault = f;
    }
};

// Bytes 1..9 of an ADR 1 frame; numbers BCD on the disc, binary from some
// drives' formatted Q.
void DecodePosition(ByteReader q, NumberReader& numbers, QFrame& frame) {
    frame.track = q.U8(1) == kQLeadOutTrack ? kQLeadOutTrack : numbers.Value(q.U8(1), 99);
    frame.index = numbers.Value(q.U8(2), 99);
    frame.relativeFrames = numbers.Time(q.U8(3), q.U8(4), q.U8(5));
    frame.absoluteFrames = numbers.Time(q.U8(7), q.U8(8), q.U8(9));
}

// The nibble `n` (0 = high nibble of byte `first`) of a run of BCD digits.
uint8_t Nibble(ByteReader q, size_t first, size_t n) {
    const uint8_t byte = q.U8(first + n / 2);
    return n % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

void DecodeDigits(ByteReader q, size_t first, size_t count, NumberReader& numbers,
                  std::string& out) {
    for (size_t n = 0; n < count; ++n) {
        const uint8_t digit = Nibble(q, first, n);
        if (digit > 9) {
            numbers.Fail(QFault::NotBcd);
            out.push_back('?');
        } else {
            out.push_back(static_cast<char>('0' + digit));
        }
    }
}

// Bytes 1..9 of an ADR 2 or 3 frame, always BCD and 6-bit codes as on the
// disc.
void DecodeCode(ByteReader q, QFrame& frame, NumberReader& numbers) {
    NumberReader bcd{true, QFault::None};
    if (frame.adr == qadr::CatalogNumber) {
        // 13 digits in bytes 1..7 (the 14th nibble is 0), byte 8 zero.
        DecodeDigits(q, 1, 13, bcd, frame.code);
    } else {
        // Five 6-bit codes in the top 30 bits of bytes 1..4, then seven
        // digits in bytes 5..8 (the last nibble is 0).
        const uint32_t bits = q.Be32(1);
        for (int i = 0; i < 5; ++i) {
            const uint8_t code = static_cast<uint8_t>((bits >> (26 - 6 * i)) & 0x3F);
            std::optional<char> c = IsrcCharacter(code);
            if (!c)
                bcd.Fail(QFault::BadCharacter);
            frame.code.push_back(c.value_or('?'));
        }
        DecodeDigits(q, 5, 7, bcd, frame.code);
    }
    frame.aframe = bcd.Value(q.U8(9), 74);
    numbers.Fail(bcd.fault);
}

QDecoded Decode(ByteReader q, bool bcdPosition) {
    QDecoded d;
    if (q.Has(0, 1)) {
        d.frame.control = q.U8(0) >> 4;
        d.frame.adr = q.U8(0) & 0x0F;
    }
    if (!q.Has(0, kQFrameBytes))
        return d;
    d.crc = SubcodeCrc({q.data(), 10}) == q.Be16(10) ? QCrc::Matches : QCrc::Differs;
    NumberReader numbers{bcdPosition, QFault::None};
    switch (d.frame.adr) {
        case qadr::Position:
            DecodePosition(q, numbers, d.frame);
            break;
        case qadr::CatalogNumber:
        case qadr::Isrc:
            DecodeCode(q, d.frame, numbers);
            break;
        default:
            numbers.Fail(QFault::UnknownMode);
    }
    d.fault = numbers.fault;
    return d;
}

void PutTime(uint8_t* at, uint32_t frames) {
    at[0] = ToBcd(static_cast<uint8_t>(frames / kFramesPerMinute));
    at[1] = ToBcd(static_cast<uint8_t>(frames / kFramesPerSecond % 60));
    at[2] = ToBcd(static_cast<uint8_t>(frames % kFramesPerSecond));
}

// Packs digits two to a byte, high nibble first, from bytes[first]; an odd
// count leaves the last low nibble 0.
void PutDigits(uint8_t* bytes, std::string_view digits) {
    for (size_t n = 0; n < digits.size(); ++n) {
        const uint8_t digit = static_cast<uint8_t>(digits[n] - '0');
        bytes[n / 2] |= n % 2 == 0 ? static_cast<uint8_t>(digit << 4) : digit;
    }
}

}  // namespace

std::optional<uint8_t> FromBcd(uint8_t bcd) {
    const uint8_t high = bcd >> 4;
    const uint8_t low = bcd & 0x0F;
    if (high > 9 || low > 9)
        return std::nullopt;
    return static_cast<uint8_t>(high * 10 + low);
}

uint16_t SubcodeCrc(std::span<const uint8_t> bytes) {
    uint16_t crc = 0;
    for (uint8_t b : bytes) {
        crc ^= static_cast<uint16_t>(b << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return static_cast<uint16_t>(~crc);
}

bool IsCatalogNumber(std::string_view text) {
    return text.size() == 13 && std::all_of(text.begin(), text.end(), IsDigit);
}

bool IsIsrc(std::string_view text) {
    if (text.size() != 12)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool fits = i < 2 ? IsUpper(c) : i < 5 ? IsUpper(c) || IsDigit(c) : IsDigit(c);
        if (!fits)
            return false;
    }
    return true;
}

std::optional<QFrameBytes> EncodeQFrame(const QFrame& frame) {
    if (frame.control > 0x0F)
        return std::nullopt;
    QFrameBytes q{};
    q[0] = static_cast<uint8_t>(frame.control << 4 | frame.adr);
    switch (frame.adr) {
        case qadr::Position:
            if ((frame.track > 99 && frame.track != kQLeadOutTrack) || frame.index > 99 ||
                frame.relativeFrames > kQMaxFrames || frame.absoluteFrames > kQMaxFrames)
                return std::nullopt;
            q[1] = frame.track == kQLeadOutTrack ? kQLeadOutTrack : ToBcd(frame.track);
            q[2] = ToBcd(frame.index);
            PutTime(&q[3], frame.relativeFrames);
            PutTime(&q[7], frame.absoluteFrames);
            break;
        case qadr::CatalogNumber:
            if (!IsCatalogNumber(frame.code) || frame.aframe > 74)
                return std::nullopt;
            PutDigits(&q[1], frame.code);
            q[9] = ToBcd(frame.aframe);
            break;
        case qadr::Isrc: {
            std::string_view code = frame.code;
            if (code.size() != 12 || frame.aframe > 74 ||
                !std::all_of(code.begin(), code.begin() + 5,
                             [](char c) { return IsDigit(c) || IsUpper(c); }) ||
                !std::all_of(code.begin() + 5, code.end(), IsDigit))
                return std::nullopt;
            uint32_t bits = 0;
            for (int i = 0; i < 5; ++i)
                bits |= uint32_t{static_cast<uint8_t>(code[i] - 0x30)} << (26 - 6 * i);
            ByteWriter(q).Be32(1, bits);
            PutDigits(&q[5], code.substr(5));
            q[9] = ToBcd(frame.aframe);
            break;
        }
        default:
            return std::nullopt;
    }
    ByteWriter(q).Be16(10, SubcodeCrc({q.data(), 10}));
    return q;
}

QDecoded DecodeQFrame(ByteReader frame) {
    return Decode(frame, true);
}

QDecoded DecodeFormattedQ(ByteReader q, QNumbers numbers) {
    QDecoded d = Decode(q, numbers == QNumbers::Bcd);
    if (d.crc == QCrc::Matches || !q.Has(0, kQFrameBytes))
        return d;
    // A drive that converts the numbers may still pass on the CRC the disc
    // had, which covers the BCD form.
    if (numbers == QNumbers::Binary && d.ok() && d.frame.adr == qadr::Position) {
        std::optional<QFrameBytes> onDisc = EncodeQFrame(d.frame);
        if (onDisc && ByteReader(*onDisc).Be16(10) == q.Be16(10)) {
            d.crc = QCrc::Matches;
            return d;
        }
    }
    if (q.Be16(10) == 0)
        d.crc = QCrc::Absent;
    return d;
}

std::optional<QNumbers> DetectFormattedQNumbers(ByteReader q, int32_t lba) {
    const int64_t wanted = int64_t{lba} + kQLbaOffset;
    auto gives = [&](QNumbers numbers) {
        QDecoded d = DecodeFormattedQ(q, numbers);
        return d.ok() && d.frame.adr == qadr::Position && d.frame.absoluteFrames == wanted;
    };
    const bool bcd = gives(QNumbers::Bcd);
    const bool binary = gives(QNumbers::Binary);
    if (bcd == binary)
        return std::nullopt;
    return bcd ? QNumbers::Bcd : QNumbers::Binary;
}

QFrame QPositionAt(int32_t lba, uint8_t control, uint8_t track, uint8_t index,
                   int32_t indexOneLba) {
    QFrame f;
    f.control = control;
    f.adr = qadr::Position;
    f.track = track;
    f.index = index;
    const int64_t offset = int64_t{lba} - indexOneLba;
    f.relativeFrames = static_cast<uint32_t>(offset >= 0 ? offset : -offset - 1);
    f.absoluteFrames = static_cast<uint32_t>(std::max<int64_t>(int64_t{lba} + kQLbaOffset, 0));
    return f;
}

int32_t QOffsetFromIndexOne(const QFrame& frame) {
    const int64_t rel = frame.relativeFrames;
    return static_cast<int32_t>(frame.index == 0 ? -rel - 1 : rel);
}

int32_t QLba(const QFrame& frame) {
    return static_cast<int32_t>(int64_t{frame.absoluteFrames} - kQLbaOffset);
}

std::optional<QFrameBytes> QFromRawSubChannel(ByteReader raw) {
    if (!raw.Has(0, kRawSubChannelBytes))
        return std::nullopt;
    QFrameBytes q{};
    for (size_t i = 0; i < kRawSubChannelBytes; ++i) {
        if (raw.Bit(i, 6))
            q[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
    }
    return q;
}

std::array<uint8_t, kRawSubChannelBytes> RawSubChannel(const QFrameBytes& q, bool p) {
    std::array<uint8_t, kRawSubChannelBytes> raw{};
    for (size_t i = 0; i < kRawSubChannelBytes; ++i) {
        const bool bit = (q[i / 8] >> (7 - i % 8)) & 1;
        raw[i] = static_cast<uint8_t>((p ? 0x80 : 0) | (bit ? 0x40 : 0));
    }
    return raw;
}

}  // namespace vestrel
