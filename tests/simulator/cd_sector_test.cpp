// Raw Mode 1 sectors: the layout of ECMA-130, an EDC recomputed bit by bit
// from its polynomial, and P and Q parity checked as Reed-Solomon code
// words (both syndromes zero) with a field arithmetic of the test's own.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "simulator/cd_sector.h"
#include "tests/simulator/sim_fixture.h"

namespace vestrel::sim::testing {
namespace {

// GF(2^8) with x^8 + x^4 + x^3 + x^2 + 1, by shift and add.
uint8_t Multiply(uint8_t a, uint8_t b) {
    uint8_t product = 0;
    while (b) {
        if (b & 1)
            product ^= a;
        a = static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1D : 0));
        b >>= 1;
    }
    return product;
}

uint8_t AlphaPower(int n) {
    uint8_t v = 1;
    for (int i = 0; i < n; ++i)
        v = Multiply(v, 2);
    return v;
}

// Both syndromes of a code word whose parity bytes come last.
bool IsCodeWord(const std::vector<uint8_t>& word) {
    uint8_t s0 = 0, s1 = 0;
    int n = static_cast<int>(word.size());
    for (int i = 0; i < n; ++i) {
        s0 ^= word[i];
        s1 ^= Multiply(word[i], AlphaPower(n - 1 - i));
    }
    return s0 == 0 && s1 == 0;
}

uint32_t BitwiseEdc(const uint8_t* data, size_t size) {
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xD8018001u : crc >> 1;
    }
    return crc;
}

TEST(CdSector, Mode1SectorLayoutEdcAndParity) {
    std::vector<uint8_t> user = PatternBytes(2048, 42);
    std::array<uint8_t, kRawSectorSize> raw{};
    BuildMode1Sector(4500 * 3 + 75 * 7 + 12 - 150, user, raw);  // 03:07:12

    EXPECT_EQ(raw[0], 0x00);
    for (int i = 1; i <= 10; ++i)
        EXPECT_EQ(raw[i], 0xFF);
    EXPECT_EQ(raw[11], 0x00);
    EXPECT_EQ(raw[12], 0x03);
    EXPECT_EQ(raw[13], 0x07);
    EXPECT_EQ(raw[14], 0x12);  // BCD
    EXPECT_EQ(raw[15], 0x01);
    EXPECT_TRUE(std::equal(user.begin(), user.end(), raw.begin() + 16));
    uint32_t edc = BitwiseEdc(raw.data(), 2064);
    EXPECT_EQ(raw[2064] | raw[2065] << 8 | raw[2066] << 16 | uint32_t{raw[2067]} << 24, edc);
    for (int i = 2068; i < 2076; ++i)
        EXPECT_EQ(raw[i], 0);

    // P: 86 columns of 24 bytes plus two parity rows, over bytes 12..2247.
    for (int column = 0; column < 86; ++column) {
        std::vector<uint8_t> word;
        for (int row = 0; row < 26; ++row)
            word.push_back(raw[12 + row * 86 + column]);
        EXPECT_TRUE(IsCodeWord(word)) << "P column " << column;
    }
    // Q: 52 diagonals of 43 bytes across the 26 rows, then two parity bytes.
    for (int diagonal = 0; diagonal < 52; ++diagonal) {
        std::vector<uint8_t> word;
        int index = (diagonal / 2) * 86 + (diagonal % 2);
        for (int i = 0; i < 43; ++i) {
            word.push_back(raw[12 + index]);
            index = (index + 88) % (26 * 86);
        }
        word.push_back(raw[2248 + diagonal]);
        word.push_back(raw[2248 + 52 + diagonal]);
        EXPECT_TRUE(IsCodeWord(word)) << "Q diagonal " << diagonal;
    }
    // A changed byte no longer satisfies its column.
    raw[100] ^= 1;
    std::vector<uint8_t> word;
    for (int row = 0; row < 26; ++row)
        word.push_back(raw[12 + row * 86 + (100 - 12) % 86]);
    EXPECT_FALSE(IsCodeWord(word));
}

TEST(CdSector, AbsoluteTime) {
    Msf zero = LbaToMsf(0);
    EXPECT_EQ(zero.minute, 0);
    EXPECT_EQ(zero.second, 2);
    EXPECT_EQ(zero.frame, 0);
    Msf start = LbaToMsf(-150);
    EXPECT_EQ(start.second, 0);
    EXPECT_EQ(MsfToLba(79, 59, 74), 359849);
    Msf far = LbaToMsf(12219392);  // a BD's end is past what MSF holds
    EXPECT_EQ(far.minute, 255);
    EXPECT_EQ(ToBcd(59), 0x59);
}

TEST(CdSector, DataSectorsOfACdReadRawAreWhatARecorderMakes) {
    TempFolder folder;
    std::vector<uint8_t> image = PatternBytes(20 * 2048, 7);
    Bay bay(BaySpec().Iso("d", "CD-ROM", image).Drive('E', "cd-rom-reader", "d"), folder.path());
    std::vector<uint8_t> raw(2 * kRawSectorSize);
    ASSERT_TRUE(SendReadCd(u'E', 5, 2, raw).ok());
    std::array<uint8_t, kRawSectorSize> expected{};
    BuildMode1Sector(6, std::span(image.data() + 6 * 2048, 2048), expected);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), raw.begin() + kRawSectorSize));
    std::vector<uint8_t> small(kRawSectorSize);
    EXPECT_EQ(
        SendScsiCommand(u'E', ReadCdCdb(5, 2).cdb.data(), 12, 1, small.data(), kRawSectorSize, 30)
            .status,
        StatusIoControlFailed)
        << "a buffer too small for the transfer";
}

}  // namespace
}  // namespace vestrel::sim::testing
