// Q frames as on the disc, as READ CD's formatted Q (BCD and binary) and
// inside raw P-W; READ SUB-CHANNEL catalog number and ISRC replies.
#include <cstddef>
#include <cstdint>

#include "drive/replies.h"
#include "drive/subchannel_q.h"
#include "tools/fuzz/fuzz_check.h"

using namespace vestrel;

FUZZ_DEFAULT_MAX_LEN(128)

namespace {

// The bits of bytes 0..9 a mode leaves 0 and a decoder does not read.
uint8_t FillBits(uint8_t adr, size_t at) {
    switch (adr) {
        case qadr::Position:
            return at == 6 ? 0xFF : 0x00;
        case qadr::CatalogNumber:
            return at == 7 ? 0x0F : at == 8 ? 0xFF : 0x00;
        default:
            return at == 4 ? 0x03 : at == 8 ? 0x0F : 0x00;
    }
}

// A frame that decodes encodes again to the same bytes, apart from bits
// nobody reads, and decodes to the same fields.
void CheckFrame(ByteReader input, const QDecoded& d) {
    if (!d.ok())
        return;
    FUZZ_CHECK(d.frame.adr >= 1 && d.frame.adr <= 3);
    std::optional<QFrameBytes> again = EncodeQFrame(d.frame);
    FUZZ_CHECK(again);
    for (size_t i = 0; i < 10; ++i)
        FUZZ_CHECK((((*again)[i] ^ input.U8(i)) & ~FillBits(d.frame.adr, i)) == 0);
    QDecoded twice = DecodeQFrame(ByteReader(*again));
    FUZZ_CHECK(twice.ok() && twice.crc == QCrc::Matches);
    FUZZ_CHECK(twice.frame == d.frame);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader input(data, size);

    QDecoded onDisc = DecodeQFrame(input);
    FUZZ_CHECK((onDisc.fault == QFault::TooShort) == (size < kQFrameBytes));
    CheckFrame(input, onDisc);

    QDecoded bcd = DecodeFormattedQ(input, QNumbers::Bcd);
    FUZZ_CHECK(bcd.fault == onDisc.fault && bcd.frame == onDisc.frame);
    FUZZ_CHECK(bcd.crc == onDisc.crc || (bcd.crc == QCrc::Absent && input.Be16(10) == 0));
    QDecoded binary = DecodeFormattedQ(input, QNumbers::Binary);
    if (binary.ok() && binary.frame.adr == qadr::Position) {
        FUZZ_CHECK(binary.frame.track <= 99 || binary.frame.track == kQLeadOutTrack);
        FUZZ_CHECK(binary.frame.index <= 99);
        FUZZ_CHECK(binary.frame.absoluteFrames <= kQMaxFrames);
        FUZZ_CHECK(binary.frame.relativeFrames <= kQMaxFrames);
    }
    const int32_t lba = static_cast<int32_t>(input.Be32(12) % 500000) - 150;
    if (std::optional<QNumbers> numbers = DetectFormattedQNumbers(input, lba)) {
        QDecoded d = DecodeFormattedQ(input, *numbers);
        FUZZ_CHECK(d.ok() && QLba(d.frame) == lba);
    }

    if (std::optional<QFrameBytes> q = QFromRawSubChannel(input)) {
        FUZZ_CHECK(size >= kRawSubChannelBytes);
        FUZZ_CHECK(QFromRawSubChannel(ByteReader(RawSubChannel(*q, data[0] & 0x80))) == q);
    }

    SubChannelCode mcn = ReadCatalogNumberReply(input);
    if (mcn.state == SubChannelCodeState::Present)
        FUZZ_CHECK(IsCatalogNumber(mcn.text));
    FUZZ_CHECK(mcn.text.size() == (mcn.state == SubChannelCodeState::Malformed ? 0 : 13));
    SubChannelCode isrc = ReadIsrcReply(input);
    if (isrc.state == SubChannelCodeState::Present)
        FUZZ_CHECK(IsIsrc(isrc.text));
    FUZZ_CHECK(isrc.text.size() == (isrc.state == SubChannelCodeState::Malformed ? 0 : 12));
    FUZZ_CHECK(isrc.adr <= 0x0F && isrc.control <= 0x0F);
    if (size < 21)
        FUZZ_CHECK(isrc.state == SubChannelCodeState::Malformed);
    return 0;
}
