#include "drive/cd_sector.h"

#include <array>
#include <cstring>

#include "drive/bytes.h"

namespace vestrel {

namespace {

constexpr uint32_t kUserDataBytes = 2048;
constexpr int64_t kFramesPerSecond = 75;
constexpr int64_t kFramesPerMinute = 60 * kFramesPerSecond;
constexpr int64_t kLeadInFrames = 150;  // LBA 0 is 00:02:00

struct Tables {
    std::array<uint8_t, 256> times2{};   // multiplication by alpha in GF(2^8)
    std::array<uint8_t, 256> divide3{};  // x -> x / (alpha + 1)
    std::array<uint32_t, 256> edc{};

    Tables() {
        for (uint32_t i = 0; i < 256; ++i) {
            // Field polynomial x^8 + x^4 + x^3 + x^2 + 1.
            uint32_t j = (i << 1) ^ ((i & 0x80) ? 0x11D : 0);
            times2[i] = static_cast<uint8_t>(j);
            divide3[i ^ j] = static_cast<uint8_t>(i);
            uint32_t crc = i;
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ ((crc & 1) ? 0xD8018001u : 0);
            edc[i] = crc;
        }
    }
};

const Tables& GetTables() {
    static const Tables tables;
    return tables;
}

// One family of Reed-Solomon code words over the 16-bit words of the
// sector, each byte plane separately. P: 43 columns of 24 words (each word
// column is two byte columns); Q: 26 diagonals of 43 words. For each code
// word the two parity bytes p0, p1 satisfy sum(c) = 0 and
// sum(c_i * alpha^(n-1-i)) = 0 with the parity at positions n-2, n-1.
void ComputeParity(const uint8_t* src, uint32_t majorCount, uint32_t minorCount, uint32_t majorStep,
                   uint32_t minorStep, uint8_t* dest) {
    const Tables& t = GetTables();
    const uint32_t size = majorCount * minorCount;
    for (uint32_t major = 0; major < majorCount; ++major) {
        uint32_t index = (major >> 1) * majorStep + (major & 1);
        uint8_t a = 0;
        uint8_t b = 0;
        for (uint32_t minor = 0; minor < minorCount; ++minor) {
            uint8_t v = src[index];
            index += minorStep;
            if (index >= size)
                index -= size;
            a ^= v;
            b ^= v;
            a = t.times2[a];
        }
        a = t.divide3[t.times2[a] ^ b];
        dest[major] = a;
        dest[major + majorCount] = a ^ b;
    }
}

}  // namespace

uint8_t ToBcd(uint8_t value) {
    return static_cast<uint8_t>(((value / 10) << 4) | (value % 10));
}

uint32_t SectorEdc(std::span<const uint8_t> bytes) {
    const Tables& t = GetTables();
    uint32_t crc = 0;
    for (uint8_t b : bytes)
        crc = (crc >> 8) ^ t.edc[(crc ^ b) & 0xFF];
    return crc;
}

void ComputeSectorEcc(std::span<uint8_t> raw) {
    if (raw.size() < kRawSectorBytes)
        return;
    // P over the 1032 words from byte 12 (86 byte columns of 24 rows), then
    // Q over the same words plus the P rows (52 byte diagonals of 43).
    ComputeParity(raw.data() + 12, 86, 24, 2, 86, raw.data() + 2076);
    ComputeParity(raw.data() + 12, 52, 43, 86, 88, raw.data() + 2248);
}

void BuildMode1Sector(int32_t lba, std::span<const uint8_t> userData, std::span<uint8_t> raw) {
    if (raw.size() < kRawSectorBytes)
        return;
    std::memset(raw.data(), 0, kRawSectorBytes);
    std::memset(raw.data() + 1, 0xFF, 10);  // sync: 00, ten FFh, 00
    // Absolute time, minutes capped at 255 as the header has no room for more.
    int64_t frames = int64_t{lba} + kLeadInFrames;
    if (frames < 0)
        frames = 0;
    int64_t minutes = frames / kFramesPerMinute;
    int64_t rest = frames - minutes * kFramesPerMinute;
    if (minutes > 255) {
        minutes = 255;
        rest = kFramesPerMinute - 1;
    }
    raw[12] = ToBcd(static_cast<uint8_t>(minutes));
    raw[13] = ToBcd(static_cast<uint8_t>(rest / kFramesPerSecond));
    raw[14] = ToBcd(static_cast<uint8_t>(rest % kFramesPerSecond));
    raw[15] = 1;  // mode 1
    std::memcpy(raw.data() + kMode1UserDataOffset, userData.data(),
                userData.size() < kUserDataBytes ? userData.size() : kUserDataBytes);
    ByteWriter(raw.data(), kRawSectorBytes).Le32(2064, SectorEdc(raw.subspan(0, 2064)));
    ComputeSectorEcc(raw);
}

}  // namespace vestrel
