#include "ui/gradient.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vestrel {
namespace {

std::vector<uint16_t> Table(std::initializer_list<uint16_t> pattern) {
    std::vector<uint16_t> table(kDitherTableSize);
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = pattern.begin()[i % pattern.size()];
    return table;
}

uint8_t Channel(uint32_t pixel, int shift) {
    return static_cast<uint8_t>(pixel >> shift);
}

TEST(Gradient, RefusesSizesOutsideTheLimits) {
    const std::vector<uint16_t> table = Table({0});
    std::vector<uint32_t> pixels(5000, 0xDEADBEEF);
    const Color16 black{}, white = Color16From8(255, 255, 255);
    for (auto [w, h] : {std::pair{0, 1}, {1, 0}, {4097, 1}, {1, 4097}, {-1, 1}}) {
        EXPECT_FALSE(RenderGradient(pixels.data(), w, h, 4097, black, white, table.data()))
            << w << "x" << h;
    }
    EXPECT_FALSE(RenderGradient(pixels.data(), 4, 1, 3, black, white, table.data()));
    EXPECT_EQ(pixels[0], 0xDEADBEEFu);
    EXPECT_TRUE(RenderGradient(pixels.data(), 4096, 1, 4096, black, white, table.data()));
}

TEST(Gradient, WholeStepsNeedNoDitherAndRowsSkipTheStride) {
    // 0 to 4 over 4 pixels: exactly one 8-bit step per pixel, whatever the table.
    const std::vector<uint16_t> table = Table({4095, 0, 1234});
    std::vector<uint32_t> pixels(6 * 2, 0xAAAAAAAA);
    ASSERT_TRUE(RenderGradient(pixels.data(), 4, 2, 6, Color16{0x0000, 0x0400, 0x0800},
                               Color16{0x0400, 0x0000, 0x0800}, table.data()));
    for (int row = 0; row < 2; ++row) {
        for (int x = 0; x < 4; ++x) {
            const uint32_t pixel = pixels[static_cast<size_t>(row * 6 + x)];
            EXPECT_EQ(pixel, (uint32_t(x) << 16) | (uint32_t(4 - x) << 8) | 8u) << row << "," << x;
        }
        EXPECT_EQ(pixels[static_cast<size_t>(row * 6 + 4)], 0xAAAAAAAAu);  // beyond the width
    }
}

TEST(Gradient, DitherEntriesAreTakenInOrderRedGreenBlue) {
    // 128.5 in every channel: entries below 2048 round up, the others down.
    const std::vector<uint16_t> table = Table({0, 4095});
    std::vector<uint32_t> pixels(2);
    const Color16 half{0x8080, 0x8080, 0x8080};
    ASSERT_TRUE(RenderGradient(pixels.data(), 2, 1, 2, half, half, table.data()));
    EXPECT_EQ(pixels[0], 0x818081u);
    EXPECT_EQ(pixels[1], 0x808180u);
}

TEST(Gradient, ChannelsStayWithinTheirByte) {
    const std::vector<uint16_t> table = Table({0});
    std::vector<uint32_t> pixels(3);
    ASSERT_TRUE(RenderGradient(pixels.data(), 3, 1, 3, Color16{0xFFC0, 0x0000, 0xFFC0},
                               Color16{0xFFFF, 0x0000, 0xFFFF}, table.data()));
    for (uint32_t pixel : pixels)
        EXPECT_EQ(pixel, 0xFF00FFu);
}

// Over many rows, the dithered columns average to the exact gradient, in
// both directions and from a colour between two 8-bit values.
TEST(Gradient, DitheredColumnsAverageToTheExactColour) {
    std::vector<uint16_t> table(kDitherTableSize);
    uint32_t seed = 12345;
    for (auto& entry : table) {
        seed = seed * 1103515245u + 12345u;
        entry = static_cast<uint16_t>((seed >> 16) & 0xFFF);
    }
    const int width = 64, height = 400;
    const Color16 left{0x2080, 0xFF00, 0x1040};
    const Color16 right{0x0080, 0xD400, 0x1040};
    std::vector<uint32_t> pixels(static_cast<size_t>(width * height));
    ASSERT_TRUE(RenderGradient(pixels.data(), width, height, width, left, right, table.data()));
    const uint16_t Color16::*channels[] = {&Color16::red, &Color16::green, &Color16::blue};
    const int shifts[] = {16, 8, 0};
    for (int c = 0; c < 3; ++c) {
        for (int x : {0, 1, 17, 40, 63}) {
            double sum = 0;
            for (int y = 0; y < height; ++y)
                sum += Channel(pixels[static_cast<size_t>(y * width + x)], shifts[c]);
            const double a = left.*channels[c] / 256.0, b = right.*channels[c] / 256.0;
            EXPECT_NEAR(sum / height, a + (b - a) * x / width, 0.1)
                << "channel " << c << " x " << x;
        }
    }
}

TEST(Gradient, TheCacheOnlyGrows) {
    CacheSize cache = GrownCacheSize({}, 300, 200);
    cache = GrownCacheSize(cache, 100, 500);
    EXPECT_EQ(cache.width, 300);
    EXPECT_EQ(cache.height, 500);
    EXPECT_TRUE(CacheFits(cache, 300, 500));
    EXPECT_FALSE(CacheFits(cache, 301, 10));
}

TEST(Gradient, TheDitherTableKeepsTwelveBits) {
    int calls = 0;
    FillDitherTable([&] { return 0x7FFF0000 + calls++; });
    EXPECT_EQ(DitherTable()[0], 0);
    EXPECT_EQ(DitherTable()[0x1234], 0x234);
    EXPECT_EQ(calls, kDitherTableSize);
}

}  // namespace
}  // namespace vestrel
