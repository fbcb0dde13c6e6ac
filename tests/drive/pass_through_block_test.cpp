// The pass-through request block, byte by byte, in both pointer widths.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <utility>
#include <vector>

#include "platform/win32/pass_through_block.h"

namespace vestrel {
namespace {

using Bytes = std::vector<uint8_t>;

const uint8_t kCdb[10] = {0x46, 0, 0, 0, 0, 0, 0, 0xF0, 0x08, 0};

// `size` zeros but for the runs of bytes at their offsets.
Bytes Placed(size_t size, std::initializer_list<std::pair<size_t, Bytes>> runs) {
    Bytes bytes(size, 0);
    for (const auto& [offset, run] : runs)
        std::copy(run.begin(), run.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    return bytes;
}

TEST(PassThroughBlock, ThirtyTwoBitLayoutIsTheEightyByteBlock) {
    Bytes block(80, 0xCC);
    BuildPassThroughBlock(kPassThroughLayout32, block, kCdb, 10, 1, 61448, 15, 0x00A1B2C3);
    // Length 44, status 0, path/target/lun 0, CDB length 10, sense length 24,
    // data in; transfer length 61448, timeout 15, buffer, sense offset 48.
    EXPECT_EQ(block, Placed(80, {{0, {44}},
                                 {6, {10, 24, 1}},
                                 {12, {0x08, 0xF0}},
                                 {16, {15}},
                                 {20, {0xC3, 0xB2, 0xA1}},
                                 {24, {48}},
                                 {28, Bytes(kCdb, kCdb + 10)}}));
}

TEST(PassThroughBlock, SixtyFourBitLayoutAlignsThePointer) {
    Bytes block(96, 0xCC);
    const uint8_t cdb6[6] = {0x12, 0, 0, 0, 0x60, 0};
    BuildPassThroughBlock(kPassThroughLayout64, block, cdb6, 6, 1, 96, 15, 0x0000123456789ABCull);
    EXPECT_EQ(block, Placed(96, {{0, {56}},
                                 {6, {6, 24, 1}},
                                 {12, {96}},
                                 {16, {15}},
                                 {24, {0xBC, 0x9A, 0x78, 0x56, 0x34, 0x12, 0, 0}},
                                 {32, {60}},
                                 {36, Bytes(cdb6, cdb6 + 6)}}));
}

TEST(PassThroughBlock, StatusAndSenseAreReadBack) {
    for (const PassThroughLayout* layout : {&kPassThroughLayout32, &kPassThroughLayout64}) {
        Bytes block(layout->blockSize, 0);
        block[2] = 2;
        const uint8_t sense[14] = {0x70, 0, 0x22, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x02};
        for (int i = 0; i < 14; ++i)
            block[layout->senseOffset + i] = sense[i];
        PassThroughReply reply = ReadPassThroughBlock(*layout, block);
        EXPECT_EQ(reply.scsiStatus, 2);
        EXPECT_EQ(reply.senseKey, 0x22);  // taken whole, ILI bit included
        EXPECT_EQ(reply.asc, 0x3A);
        EXPECT_EQ(reply.ascq, 0x02);
    }
}

TEST(PassThroughBlock, OverlongCdbAndShortBlockAreHandledSafely) {
    uint8_t cdb[20];
    for (int i = 0; i < 20; ++i)
        cdb[i] = static_cast<uint8_t>(i + 1);
    Bytes block(80, 0);
    BuildPassThroughBlock(kPassThroughLayout32, block, cdb, 20, 0, 0, 30, 0);
    EXPECT_EQ(block[6], 16);
    EXPECT_EQ(block[28 + 15], 16);
    EXPECT_EQ(block[44], 0);  // the filler stays clear
    Bytes shortBlock(40, 0xCC);
    BuildPassThroughBlock(kPassThroughLayout32, shortBlock, cdb, 10, 0, 0, 30, 0);
    EXPECT_EQ(shortBlock, Bytes(40, 0xCC));
}

}  // namespace
}  // namespace vestrel
