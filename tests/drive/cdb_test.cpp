// Every command descriptor block the system sends, byte for byte, with its
// direction, transfer length and timeout.
#include <gtest/gtest.h>

#include <vector>

#include "drive/cdb.h"

namespace vestrel {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Cdb(const CommandBlock& b) {
    return Bytes(b.cdb.begin(), b.cdb.begin() + b.length);
}

struct Expected {
    const char* name;
    CommandBlock block;
    Bytes cdb;
    DataDirection direction;
    uint32_t length;
    uint32_t timeout;
};

constexpr auto In = DataDirection::FromDevice;
constexpr auto Out = DataDirection::ToDevice;

TEST(CommandTable, EveryCommandHasItsBytesDirectionLengthAndTimeout) {
    const Expected table[] = {
        {"TEST UNIT READY", TestUnitReadyCdb(), {0, 0, 0, 0, 0, 0}, In, 0, 30},
        {"INQUIRY", InquiryCdb(), {0x12, 0, 0, 0, 0x60, 0}, In, 96, 15},
        {"GET CONFIGURATION",
         GetConfigurationCdb(),
         {0x46, 0, 0, 0, 0, 0, 0, 0xF0, 0x08, 0},
         In,
         61448,
         15},
        {"MODE SENSE 2Ah/142",
         ModeSenseCapabilitiesCdb(142),
         {0x5A, 0x08, 0xAA, 0, 0, 0, 0, 0x00, 0x8E, 0},
         In,
         142,
         15},
        {"MODE SENSE 2Ah/150",
         ModeSenseCapabilitiesCdb(150),
         {0x5A, 0x08, 0xAA, 0, 0, 0, 0, 0x00, 0x96, 0},
         In,
         150,
         15},
        {"MODE SENSE 05h",
         ModeSenseWriteParametersCdb(),
         {0x5A, 0x08, 0x85, 0, 0, 0, 0, 0x02, 0x00, 0},
         In,
         512,
         15},
        {"MODE SELECT",
         ModeSelect10Cdb(),
         {0x55, 0x10, 0, 0, 0, 0, 0, 0x02, 0x00, 0},
         Out,
         512,
         15},
        {"READ DISC INFORMATION",
         ReadDiscInformationCdb(),
         {0x51, 0, 0, 0, 0, 0, 0, 0x00, 0x23, 0},
         In,
         35,
         60},
        {"READ TOC MSF", ReadTocCdb(true), {0x43, 0x02, 0, 0, 0, 0, 0, 0x03, 0x24, 0}, In, 804, 30},
        {"READ TOC LBA",
         ReadTocCdb(false),
         {0x43, 0x00, 0, 0, 0, 0, 0, 0x03, 0x24, 0},
         In,
         804,
         30},
        {"READ (10)",
         Read10Cdb(0x00123456, 25),
         {0x28, 0, 0x00, 0x12, 0x34, 0x56, 0, 0x00, 0x19, 0},
         In,
         25 * 2048,
         30},
        {"READ CD",
         ReadCdCdb(0x00012345, 25),
         {0xBE, 0, 0x00, 0x01, 0x23, 0x45, 0x00, 0x00, 0x19, 0xF8, 0, 0},
         In,
         25 * 2352,
         30},
        {"WRITE (10)",
         Write10Cdb(0x12345, 16, 32768),
         {0x2A, 0, 0x00, 0x01, 0x23, 0x45, 0, 0x00, 0x10, 0},
         Out,
         32768,
         300},
        {"WRITE (10) pre-gap",
         Write10Cdb(-150, 10, 20480),
         {0x2A, 0, 0xFF, 0xFF, 0xFF, 0x6A, 0, 0x00, 0x0A, 0},
         Out,
         20480,
         300},
        {"SEND CUE SHEET",
         SendCueSheetCdb(32),
         {0x5D, 0, 0, 0, 0, 0, 0x00, 0x00, 0x20, 0},
         Out,
         32,
         180},
        {"RESERVE TRACK",
         ReserveTrackCdb(1008),
         {0x53, 0, 0, 0, 0, 0, 0, 0x03, 0xF0, 0},
         In,
         0,
         60},
        {"SYNCHRONIZE CACHE", SynchronizeCacheCdb(), {0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, 0, 300},
        {"BLANK", BlankCdb(), {0xA1, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Out, 0, 1800},
        {"SET CD SPEED",
         SetCdSpeedCdb(1385),
         {0xBB, 0x00, 0xFF, 0xFF, 0x05, 0x69, 0, 0, 0, 0, 0, 0},
         In,
         0,
         30},
        {"SET STREAMING",
         SetStreamingCdb(),
         {0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x1C, 0},
         Out,
         28,
         30},
        {"GET PERFORMANCE",
         GetPerformanceCdb(),
         {0xAC, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x1E, 0x03, 0},
         In,
         488,
         30},
        {"REQUEST SENSE", RequestSenseCdb(), {0x03, 0, 0, 0, 0x12, 0}, In, 18, 15},
        {"READ TRACK INFORMATION, invisible track",
         ReadTrackInformationCdb(kInvisibleTrack),
         {0x52, 0x01, 0, 0, 0, 0xFF, 0, 0x00, 0x30, 0},
         In,
         48,
         60},
        {"READ TRACK INFORMATION, track 258",
         ReadTrackInformationCdb(0x0102),
         {0x52, 0x01, 0, 0, 0x01, 0x02, 0, 0x00, 0x30, 0},
         In,
         48,
         60},
        {"READ CD, audio with formatted Q, track 1 pre-gap",
         ReadCdAudioCdb(-150, 27, SubChannelSelection::FormattedQ),
         {0xBE, 0x04, 0xFF, 0xFF, 0xFF, 0x6A, 0x00, 0x00, 0x1B, 0x10, 0x02, 0},
         In,
         27 * 2368,
         30},
        {"READ CD, audio with raw P-W",
         ReadCdAudioCdb(0x012345, 26, SubChannelSelection::RawPW),
         {0xBE, 0x04, 0x00, 0x01, 0x23, 0x45, 0x00, 0x00, 0x1A, 0x10, 0x01, 0},
         In,
         26 * 2448,
         30},
        {"READ SUB-CHANNEL, catalog number",
         ReadSubChannelCatalogNumberCdb(),
         {0x42, 0, 0x40, 0x02, 0, 0, 0, 0x00, 0x18, 0},
         In,
         24,
         30},
        {"READ SUB-CHANNEL, ISRC of track 12",
         ReadSubChannelIsrcCdb(12),
         {0x42, 0, 0x40, 0x03, 0, 0, 0x0C, 0x00, 0x18, 0},
         In,
         24,
         30},
        {"READ TOC, CD-Text",
         ReadTocCdTextCdb(0xFFFF),
         {0x43, 0, 0x05, 0, 0, 0, 0, 0xFF, 0xFF, 0},
         In,
         65535,
         30},
        {"READ TOC, ATIP",
         ReadTocAtipCdb(),
         {0x43, 0, 0x04, 0, 0, 0, 0, 0x00, 0x1C, 0},
         In,
         28,
         30},
        {"CLOSE TRACK/SESSION, finalize, immediate",
         CloseTrackSessionCdb(6, 0, true),
         {0x5B, 0x01, 0x06, 0, 0, 0, 0, 0, 0, 0},
         In,
         0,
         300},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(Cdb(e.block), e.cdb);
        EXPECT_EQ(e.block.direction, e.direction);
        EXPECT_EQ(e.block.transferLength, e.length);
        EXPECT_EQ(e.block.timeoutSeconds, e.timeout);
        // Bytes beyond the CDB length are never set.
        for (size_t i = e.block.length; i < e.block.cdb.size(); ++i)
            EXPECT_EQ(e.block.cdb[i], 0);
    }
}

TEST(ReadCdAudio, BlocksAreCutToWhatTheTransferLengthHolds) {
    CommandBlock b = ReadCdAudioCdb(0, 0xFFFFFF, SubChannelSelection::CorrectedRW);
    const uint32_t blocks = (uint32_t{b.cdb[6]} << 16) | (b.cdb[7] << 8) | b.cdb[8];
    EXPECT_EQ(blocks, UINT32_MAX / 2448);
    EXPECT_EQ(b.transferLength, blocks * 2448);
    EXPECT_EQ(b.cdb[10], 0x04);
}

TEST(FormatUnitParameters, TypeSubtypeParameterAndImmediate) {
    auto plus = FormatUnitParameters(0x00123456, 0x26, 0, 0, false);
    EXPECT_EQ(Bytes(plus.begin(), plus.end()),
              (Bytes{0, 0, 0, 8, 0x00, 0x12, 0x34, 0x56, 0x98, 0, 0, 0}));
    // BD-RE with spare areas, no certification, answered at once (FOV, IMMED).
    auto bd = FormatUnitParameters(11826176, 0x30, 0x01, 0x000800, true);
    EXPECT_EQ(Bytes(bd.begin(), bd.end()),
              (Bytes{0, 0x82, 0, 8, 0x00, 0xB4, 0x74, 0x00, 0xC1, 0x00, 0x08, 0x00}));
}

TEST(StreamingDescriptor, NormalFormCarriesSpeedsAndTimes) {
    auto d = StreamingDescriptor(11080, 8310, false);
    const Bytes expected = {0x20, 0,    0, 0, 0,    0,    0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
                            0x2B, 0x48, 0, 0, 0x03, 0xE8, 0, 0, 0x20, 0x76, 0,    0,    0x03, 0xE8};
    EXPECT_EQ(Bytes(d.begin(), d.end()), expected);
}

TEST(StreamingDescriptor, RestoreFormIsOnlyTheRestoreFlag) {
    auto d = StreamingDescriptor(11080, 8310, true);
    Bytes expected(28, 0);
    expected[0] = 0x24;
    EXPECT_EQ(Bytes(d.begin(), d.end()), expected);
}

}  // namespace
}  // namespace vestrel
