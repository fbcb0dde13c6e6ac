// Q frames byte for byte: the three modes, the CRC, the countdown before
// INDEX 01, READ CD's formatted and raw forms.
#include <gtest/gtest.h>

#include <vector>

#include "drive/subchannel_q.h"

namespace vestrel {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Of(const QFrameBytes& q) {
    return Bytes(q.begin(), q.end());
}

QFrame Position(uint8_t control, uint8_t track, uint8_t index, uint32_t rel, uint32_t abs) {
    QFrame f;
    f.control = control;
    f.adr = qadr::Position;
    f.track = track;
    f.index = index;
    f.relativeFrames = rel;
    f.absoluteFrames = abs;
    return f;
}

QFrame Code(uint8_t control, uint8_t adr, std::string code, uint8_t aframe) {
    QFrame f;
    f.control = control;
    f.adr = adr;
    f.code = std::move(code);
    f.aframe = aframe;
    return f;
}

struct FrameVector {
    const char* name;
    QFrame frame;
    Bytes bytes;  // as on the disc, CRC included
};

const FrameVector kFrames[] = {
    {"track 1 index 1 at 00:02:00",
     Position(0, 1, 1, 0, 150),
     {0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x5A, 0x28}},
    {"track 2 pre-gap, 00:00:01 before INDEX 01, at 02:15:23",
     Position(0, 2, 0, 1, (2 * 60 + 15) * 75 + 23),
     {0x01, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x15, 0x23, 0x7A, 0x6B}},
    {"track 12 index 10, pre-emphasis",
     Position(qcontrol::PreEmphasis, 12, 10, (1 * 60 + 2) * 75 + 3, (45 * 60 + 6) * 75 + 7),
     {0x11, 0x12, 0x10, 0x01, 0x02, 0x03, 0x00, 0x45, 0x06, 0x07, 0x5D, 0xEE}},
    {"catalog number",
     Code(0, qadr::CatalogNumber, "0012345678905", 17),
     {0x02, 0x00, 0x12, 0x34, 0x56, 0x78, 0x90, 0x50, 0x00, 0x17, 0x13, 0x75}},
    {"ISRC",
     Code(0, qadr::Isrc, "USRC17607839", 33),
     {0x03, 0x96, 0x38, 0x93, 0x04, 0x76, 0x07, 0x83, 0x90, 0x33, 0x1F, 0xAC}},
};

TEST(QFrame, EncodesAndDecodesTheKnownFrames) {
    for (const FrameVector& v : kFrames) {
        SCOPED_TRACE(v.name);
        std::optional<QFrameBytes> encoded = EncodeQFrame(v.frame);
        ASSERT_TRUE(encoded);
        EXPECT_EQ(Of(*encoded), v.bytes);
        QDecoded d = DecodeQFrame(ByteReader(v.bytes));
        EXPECT_EQ(d.fault, QFault::None);
        EXPECT_EQ(d.crc, QCrc::Matches);
        EXPECT_EQ(d.frame, v.frame);
    }
}

TEST(QFrame, FaultsAreNamedAndTheCrcStillReported) {
    const Bytes good = kFrames[1].bytes;
    auto with = [&](size_t at, uint8_t value) {
        Bytes b = good;
        b[at] = value;
        return b;
    };
    const struct {
        const char* name;
        Bytes bytes;
        QFault fault;
        QCrc crc;
    } table[] = {
        {"eleven bytes", Bytes(good.begin(), good.end() - 1), QFault::TooShort, QCrc::Differs},
        {"ADR 4", with(0, 0x04), QFault::UnknownMode, QCrc::Differs},
        {"second 1Ah", with(4, 0x1A), QFault::NotBcd, QCrc::Differs},
        {"second 60", with(8, 0x60), QFault::OutOfRange, QCrc::Differs},
        {"frame 75", with(9, 0x75), QFault::OutOfRange, QCrc::Differs},
        {"track A1h", with(1, 0xA1), QFault::NotBcd, QCrc::Differs},
        {"catalog digit Ah",
         {0x02, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9A, 0x50, 0x00, 0x17, 0x00, 0x00},
         QFault::NotBcd,
         QCrc::Differs},
        // A frame read from a disc whose ISRC has codes outside the set.
        {"ISRC characters",
         {0x43, 0x7F, 0x54, 0xB8, 0xF4, 0x52, 0x00, 0x00, 0x00, 0x45, 0x74, 0xB8},
         QFault::BadCharacter,
         QCrc::Matches},
        {"one bit of the time flipped", with(9, 0x22), QFault::None, QCrc::Differs},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        QDecoded d = DecodeQFrame(ByteReader(row.bytes));
        EXPECT_EQ(d.fault, row.fault);
        EXPECT_EQ(d.crc, row.crc);
    }
    QDecoded real = DecodeQFrame(ByteReader(table[7].bytes));
    EXPECT_EQ(real.frame.control, 4);
    EXPECT_EQ(real.frame.adr, 3);
    EXPECT_EQ(real.frame.code, "O?B??5200000");
}

TEST(QFrame, FieldsThatDoNotFitAreNotEncoded) {
    const QFrame table[] = {
        Position(0, 100, 1, 0, 150),
        Position(0, 1, 1, kQMaxFrames + 1, 150),
        Code(0, qadr::CatalogNumber, "001234567890A", 0),
        Code(0, qadr::CatalogNumber, "001234567890", 0),
        Code(0, qadr::Isrc, "usRC17607839", 0),
        Code(0, qadr::Isrc, "USRC1760783X", 0),
    };
    for (const QFrame& f : table)
        EXPECT_FALSE(EncodeQFrame(f)) << int(f.adr) << " " << f.code;
    // The lead-out's track number is not BCD but is carried as it is.
    std::optional<QFrameBytes> leadOut =
        EncodeQFrame(Position(qcontrol::CopyPermitted, kQLeadOutTrack, 1, 5, 333000));
    ASSERT_TRUE(leadOut);
    EXPECT_EQ((*leadOut)[0], 0x21);
    EXPECT_EQ((*leadOut)[1], 0xAA);
    EXPECT_EQ(Bytes(leadOut->begin() + 7, leadOut->begin() + 10), (Bytes{0x74, 0x00, 0x00}));
    EXPECT_EQ(DecodeQFrame(ByteReader(*leadOut)).frame,
              Position(qcontrol::CopyPermitted, kQLeadOutTrack, 1, 5, 333000));
}

TEST(QFrame, RelativeTimeCountsDownToIndexOneAndUpAfterIt) {
    const struct {
        int32_t lba;
        uint8_t index;
        int32_t indexOne;
        uint32_t relative;
        int32_t offset;
    } table[] = {
        {9997, 0, 10000, 2, -3},
        {9998, 0, 10000, 1, -2},
        {9999, 0, 10000, 0, -1},
        {10000, 1, 10000, 0, 0},
        {10001, 1, 10000, 1, 1},
        {10375, 2, 10000, 375, 375},
        // Track 1's pre-gap before 30 s of hidden audio.
        {-150, 0, 2250, 2399, -2400},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.lba);
        QFrame f = QPositionAt(row.lba, 0, 2, row.index, row.indexOne);
        EXPECT_EQ(f.relativeFrames, row.relative);
        EXPECT_EQ(f.absoluteFrames, static_cast<uint32_t>(row.lba + 150));
        EXPECT_EQ(QOffsetFromIndexOne(f), row.offset);
        EXPECT_EQ(QLba(f), row.lba);
    }
    // The second known frame is such a pre-gap sector.
    EXPECT_EQ(Of(*EncodeQFrame(QPositionAt(9998, 0, 2, 0, 10000))), kFrames[1].bytes);
}

TEST(QFrame, CodeSyntax) {
    EXPECT_TRUE(IsIsrc("USRC17607839"));
    EXPECT_FALSE(IsIsrc("US-RC1760783"));
    EXPECT_FALSE(IsIsrc("USRC1760783A"));
    EXPECT_FALSE(IsCatalogNumber("001234567890"));
}

TEST(FormattedQ, BcdAndBinaryDrivesGiveTheSameFrame) {
    const QFrame want = kFrames[1].frame;
    Bytes bcd = kFrames[1].bytes;
    bcd.resize(kFormattedQBytes, 0);
    Bytes binary = bcd;
    binary[8] = 15;  // 02:15:23 in binary
    binary[9] = 23;
    Bytes noCrc = binary;
    noCrc[10] = noCrc[11] = 0;
    Bytes wrongCrc = binary;
    wrongCrc[11] ^= 1;
    const struct {
        const char* name;
        Bytes bytes;
        QNumbers numbers;
        QCrc crc;
    } table[] = {
        {"BCD", bcd, QNumbers::Bcd, QCrc::Matches},
        {"binary with the disc's CRC", binary, QNumbers::Binary, QCrc::Matches},
        {"binary without CRC", noCrc, QNumbers::Binary, QCrc::Absent},
        {"binary with a wrong CRC", wrongCrc, QNumbers::Binary, QCrc::Differs},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        QDecoded d = DecodeFormattedQ(ByteReader(row.bytes), row.numbers);
        EXPECT_EQ(d.fault, QFault::None);
        EXPECT_EQ(d.crc, row.crc);
        EXPECT_EQ(d.frame, want);
    }
    // Which way a drive gives the numbers shows at a sector of known LBA.
    EXPECT_EQ(DetectFormattedQNumbers(ByteReader(bcd), 9998), QNumbers::Bcd);
    EXPECT_EQ(DetectFormattedQNumbers(ByteReader(binary), 9998), QNumbers::Binary);
    EXPECT_EQ(DetectFormattedQNumbers(ByteReader(bcd), 9999), std::nullopt);
    // 00:02:00 reads the same both ways.
    EXPECT_EQ(DetectFormattedQNumbers(ByteReader(kFrames[0].bytes), 0), std::nullopt);
}

TEST(RawSubChannel, QIsBitSixOfTheNinetySixBytes) {
    const Bytes& isrc = kFrames[4].bytes;
    Bytes raw(kRawSubChannelBytes);
    for (size_t i = 0; i < raw.size(); ++i) {
        const bool q = (isrc[i / 8] >> (7 - i % 8)) & 1;
        raw[i] = static_cast<uint8_t>((q ? 0x40 : 0) | (i % 3 == 0 ? 0x80 : 0) | (i & 0x3F));
    }
    std::optional<QFrameBytes> q = QFromRawSubChannel(ByteReader(raw));
    ASSERT_TRUE(q);
    EXPECT_EQ(Of(*q), isrc);
    EXPECT_FALSE(QFromRawSubChannel(ByteReader(raw.data(), 95)));

    QFrameBytes frame;
    std::copy(isrc.begin(), isrc.end(), frame.begin());
    const auto built = RawSubChannel(frame, true);
    for (size_t i = 0; i < raw.size(); ++i)
        EXPECT_EQ(built[i], 0x80 | (raw[i] & 0x40)) << i;
    EXPECT_EQ(RawSubChannel(frame, false)[0], 0x00);  // 03h starts with six 0 bits
    EXPECT_EQ(RawSubChannel(frame, false)[6], 0x40);
}

}  // namespace
}  // namespace vestrel
