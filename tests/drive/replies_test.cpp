// Reply readers: the fields they read, and that malformed replies never
// lead them outside what was received.
#include <gtest/gtest.h>

#include <vector>

#include "drive/replies.h"
#include "tests/support/reply_builders.h"

namespace vestrel {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::Configuration;

TEST(Inquiry, VendorAndProductAreTheirFixedFields) {
    Bytes r(96, 0);
    const char* id = "PIONEER BD-RW   BDR-209D";
    for (size_t i = 0; i < 24; ++i)
        r[8 + i] = static_cast<uint8_t>(id[i]);
    EXPECT_EQ(InquiryVendor(ByteReader(r)), u"PIONEER ");
    EXPECT_EQ(InquiryProduct(ByteReader(r)), u"BD-RW   BDR-209D");
    // A reply cut short gives what there is.
    EXPECT_EQ(InquiryVendor(ByteReader(r.data(), 11)), u"PIO");
}

TEST(Configuration, FeaturesAreWalkedByTheirAdditionalLength) {
    Bytes r = Configuration(
        0x0011, {{0x00, 0x00, 0x03, 0x08, 0x00, 0x11, 0x01, 0x00, 0x00, 0x10, 0x00, 0x00},
                 {0x00, 0x2F, 0x04, 0x04, 0x08, 0, 0, 0}});
    ConfigurationHeader h = ReadConfigurationHeader(ByteReader(r));
    EXPECT_EQ(h.currentProfile, 0x0011);
    auto features = ReadFeatures(ByteReader(r));
    ASSERT_EQ(features.size(), 2u);
    EXPECT_EQ(features[0].code, 0x0000);
    EXPECT_EQ(ReadProfileList(features[0]), (std::vector<uint16_t>{0x0011, 0x0010}));
    EXPECT_EQ(features[1].code, 0x002F);
    EXPECT_EQ(features[1].bytes.U8(4), 0x08);
}

TEST(Configuration, DataLengthBeyondTheBufferIsClippedToTheBuffer) {
    Bytes r = Configuration(0, {{0x00, 0x1E, 0x00, 0x04, 1, 2, 3, 4}});
    r[0] = 0x7F;  // claims about 2 GB
    auto features = ReadFeatures(ByteReader(r));
    ASSERT_EQ(features.size(), 1u);
    EXPECT_EQ(features[0].code, 0x001E);
}

TEST(Configuration, NegativeDataLengthHoldsNoFeatures) {
    Bytes r = Configuration(0, {{0x00, 0x1E, 0x00, 0x00}});
    r[0] = 0xFF;
    r[1] = 0xFF;
    r[2] = 0xFF;
    r[3] = 0xF0;
    EXPECT_EQ(ReadConfigurationHeader(ByteReader(r)).dataLength, -16);
    EXPECT_TRUE(ReadFeatures(ByteReader(r)).empty());
}

TEST(Configuration, DataLengthShorterThanTheBufferEndsTheWalk) {
    Bytes r = Configuration(0, {{0x00, 0x1E, 0x00, 0x00}, {0x00, 0x1F, 0x00, 0x00}});
    r[3] = 8;  // only the first descriptor is claimed
    auto features = ReadFeatures(ByteReader(r));
    ASSERT_EQ(features.size(), 1u);
    EXPECT_EQ(features[0].code, 0x001E);
}

TEST(Configuration, AdditionalLengthRunningPastTheEndIsClipped) {
    Bytes r = Configuration(0, {{0x00, 0x40, 0x00, 0xFC, 0, 0, 0, 0, 0, 0x02}});
    auto features = ReadFeatures(ByteReader(r));
    ASSERT_EQ(features.size(), 1u);
    EXPECT_EQ(features[0].additionalLength, 0xFC);
    EXPECT_EQ(features[0].bytes.size(), 10u);
    EXPECT_EQ(features[0].bytes.U8(9), 0x02);
    EXPECT_EQ(features[0].bytes.U8(25), 0);  // absent, reads as 0
}

TEST(Configuration, ProfileListCutShortKeepsOnlyWholeDescriptors) {
    Bytes r = Configuration(0, {{0x00, 0x00, 0x03, 0x0C, 0x00, 0x43, 0x01, 0x00, 0x00, 0x40}});
    auto features = ReadFeatures(ByteReader(r));
    ASSERT_EQ(features.size(), 1u);
    EXPECT_EQ(ReadProfileList(features[0]), (std::vector<uint16_t>{0x0043}));
}

TEST(CapabilitiesPage, FieldsSitAfterTheEightByteHeader) {
    Bytes r(142, 0);
    r[10] = 0x3B;
    r[11] = 0x37;
    r[12] = 0x80;
    CapabilitiesPage p = ReadCapabilitiesPage(ByteReader(r));
    EXPECT_EQ(p.readSupport, 0x3B);
    EXPECT_EQ(p.writeSupport, 0x37);
    EXPECT_TRUE(p.bufferUnderrunFree);
    EXPECT_FALSE(ReadCapabilitiesPage(ByteReader(r.data(), 12)).bufferUnderrunFree);
}

TEST(DiscInformation, StatusAndErasable) {
    Bytes r(35, 0);
    r[2] = 0x1E;  // erasable, last session complete(2), disc status 2
    DiscInformation d = ReadDiscInformationReply(ByteReader(r));
    EXPECT_EQ(d.discStatus, 2);
    EXPECT_TRUE(d.erasable);
    r[2] = 0x00;
    d = ReadDiscInformationReply(ByteReader(r));
    EXPECT_EQ(d.discStatus, kDiscStatusEmpty);
    EXPECT_FALSE(d.erasable);
}

TEST(DiscInformation, LastPossibleLeadOutOfACdIsItsMsfLessTwoSeconds) {
    Bytes r(35, 0);
    r[21] = 79;  // 79:59:74
    r[22] = 59;
    r[23] = 74;
    EXPECT_EQ(CdLastLeadOutLba(ReadDiscInformationReply(ByteReader(r))), 359849u);
    for (uint32_t invalid : {0xFFFFFFFFu, 0u, 0x00003C00u, 0x0000004Bu}) {
        DiscInformation d;
        d.lastLeadOutStart = invalid;  // not given, before LBA 0, second 60, frame 75
        EXPECT_FALSE(CdLastLeadOutLba(d)) << std::hex << invalid;
    }
}

TEST(TrackInformation, FieldsAndTrackNumberHalves) {
    const Bytes r = {0x00, 0x2E, 0x02, 0x01, 0,    0x04, 0xC1, 0x01,  // track 258, RT, blank, NWA_V
                     0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x90,  // start 128, NWA 144
                     0x00, 0x00, 0x00, 0x50, 0x00, 0x00, 0x00, 0x20,  // free 80, packet 32
                     0x00, 0x00, 0x00, 0x60, 0,    0,    0,    0,     // size 96
                     0x01, 0x00, 0,    0,    0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0};
    std::optional<TrackInformation> t = ReadTrackInformationReply(ByteReader(r));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->trackNumber, 258);
    EXPECT_TRUE(t->reserved);
    EXPECT_TRUE(t->blank);
    EXPECT_TRUE(t->nwaValid);
    EXPECT_EQ(t->trackStart, 128u);
    EXPECT_EQ(t->nextWritable, 144u);
    EXPECT_EQ(t->freeBlocks, 80u);
    EXPECT_EQ(t->trackSize, 96u);
    // Cut short by the buffer or by its own data length: no answer.
    EXPECT_FALSE(ReadTrackInformationReply(ByteReader(r.data(), 27)));
    Bytes shortLength = r;
    shortLength[1] = 0x10;
    EXPECT_FALSE(ReadTrackInformationReply(ByteReader(shortLength)));
    // Without bytes 32 and on, the track number is its low byte.
    EXPECT_EQ(ReadTrackInformationReply(ByteReader(r.data(), 28))->trackNumber, 2);
}

TEST(FormatCapacities, CurrentCapacityAndTheFormatsWithinTheListLength) {
    Bytes r = {0,    0,    0,    24,                             // three descriptors
               0x00, 0xB4, 0x74, 0x00, 0x01, 0x00, 0x08, 0x00,   // unformatted, 11826176
               0x00, 0xB4, 0x74, 0x00, 0x00, 0x00, 0x08, 0x00,   // 00h
               0x00, 0xB4, 0x74, 0x00, 0xC0, 0x00, 0x08, 0x00,   // 30h
               0x00, 0xBA, 0x74, 0x00, 0xC4, 0x00, 0x00, 0x00,   // 31h
               0x00, 0x00, 0x00, 0x10, 0x98, 0x00, 0x00, 0x00};  // past the list length
    FormatCapacities c = ReadFormatCapacitiesReply(ByteReader(r));
    EXPECT_EQ(c.currentKind, kUnformattedMedium);
    EXPECT_EQ(c.currentBlocks, 11826176u);
    ASSERT_EQ(c.formats.size(), 2u);
    EXPECT_EQ(c.formats[0].type, 0x00);
    EXPECT_EQ(c.formats[1].type, 0x30);
    EXPECT_EQ(c.formats[1].parameter, 0x800u);
    r[3] = 0xF8;  // a list longer than the reply: whole descriptors only
    EXPECT_EQ(ReadFormatCapacitiesReply(ByteReader(r.data(), r.size() - 1)).formats.size(), 3u);
    EXPECT_EQ(ReadFormatCapacitiesReply(ByteReader(r.data(), 11)).currentKind, 0);
}

TEST(SenseData, KeyConditionAndProgressInEitherFormat) {
    struct Row {
        const char* name;
        Bytes reply;
        bool valid;
        uint8_t key, asc, ascq;
        std::optional<uint16_t> progress;
    };
    const Row rows[] = {
        {"fixed, closing, halfway",
         {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04, 0x07, 0, 0x80, 0x80, 0x00},
         true,
         2,
         0x04,
         0x07,
         0x8000},
        {"deferred error, no progress",
         {0xF1, 0, 0x03, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x0C, 0x00, 0, 0x80, 0x12, 0x34},
         true,
         3,
         0x0C,
         0x00,
         std::nullopt},
        {"fixed, SKSV clear",
         {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04, 0x04, 0, 0x00, 0x80, 0x00},
         true,
         2,
         0x04,
         0x04,
         std::nullopt},
        {"fixed, additional length stops before the progress",
         {0x70, 0, 0x02, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0x04, 0x07, 0, 0x80, 0x80, 0x00},
         true,
         2,
         0x04,
         0x07,
         std::nullopt},
        {"fixed, cut before ASCQ",
         {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04},
         false,
         0,
         0,
         0,
         std::nullopt},
        {"descriptor, no sense, progress",
         {0x72, 0x00, 0x00, 0x00, 0,    0,    0,    16, 0x00, 0x02, 0, 0,  // information descriptor
          0x02, 0x06, 0,    0,    0x80, 0x40, 0x00, 0},                    // sense key specific
         true,
         0,
         0,
         0,
         0x4000},
        {"descriptor running past its length",
         {0x72, 0x02, 0x04, 0x04, 0, 0, 0, 4, 0x02, 0x06, 0, 0, 0x80, 0x40, 0x00, 0},
         true,
         2,
         0x04,
         0x04,
         std::nullopt},
        {"unknown response code",
         {0x7F, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04, 0x07},
         false,
         0,
         0,
         0,
         std::nullopt},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        SenseData d = ReadSenseData(ByteReader(r.reply));
        EXPECT_EQ(d.valid, r.valid);
        EXPECT_EQ(d.senseKey, r.key);
        EXPECT_EQ(d.asc, r.asc);
        EXPECT_EQ(d.ascq, r.ascq);
        EXPECT_EQ(d.progress, r.progress);
    }
}

Bytes TocReplyBytes(uint8_t last, const std::vector<std::pair<uint8_t, uint32_t>>& entries) {
    Bytes r(804, 0);
    uint16_t len = static_cast<uint16_t>(2 + 8 * entries.size());
    r[0] = len >> 8;
    r[1] = len & 0xFF;
    r[2] = 1;
    r[3] = last;
    for (size_t i = 0; i < entries.size(); ++i) {
        uint8_t* d = &r[4 + 8 * i];
        d[1] = 0x10 | entries[i].first;
        d[2] = i + 1 == entries.size() ? 0xAA : static_cast<uint8_t>(i + 1);
        d[4] = entries[i].second >> 24;
        d[5] = entries[i].second >> 16;
        d[6] = entries[i].second >> 8;
        d[7] = entries[i].second;
    }
    return r;
}

TEST(TocReply, TracksAndLeadOut) {
    Bytes r = TocReplyBytes(2, {{0x4, 0}, {0x0, 1500}, {0x0, 4000}});
    Toc toc = ReadTocReply(ByteReader(r));
    EXPECT_EQ(toc.lastTrack, 2);
    EXPECT_TRUE(toc.complete);
    ASSERT_EQ(toc.entries.size(), 3u);
    EXPECT_EQ(toc.entries[0].control, 0x4);
    EXPECT_EQ(toc.entries[1].address, 1500u);
    EXPECT_EQ(toc.entries[2].trackNumber, 0xAA);
}

TEST(TocReply, LastTrackPromisingMoreThanTheReplyHoldsStopsAtItsEnd) {
    Bytes r = TocReplyBytes(99, {{0x4, 0}, {0x4, 1000}});
    r[3] = 0xFF;  // 255 tracks would need 2052 bytes; the buffer has 804
    r[0] = 0xFF;
    r[1] = 0xFF;
    Toc toc = ReadTocReply(ByteReader(r));
    EXPECT_EQ(toc.entries.size(), 100u);  // (804 - 4) / 8
    EXPECT_FALSE(toc.complete);

    Bytes small = TocReplyBytes(3, {{0x4, 0}, {0x0, 100}});  // data length covers two entries
    toc = ReadTocReply(ByteReader(small));
    EXPECT_EQ(toc.entries.size(), 2u);
    EXPECT_FALSE(toc.complete);
}

TEST(Performance, DescriptorsAreBoundedByLengthAndBuffer) {
    Bytes r(488, 0);
    r[3] = 4 + 2 * 16;
    r[8 + 11] = 0;
    r[8 + 10] = 0x2B;
    r[8 + 11] = 0x48;  // read speed 11080
    r[8 + 14] = 0x1B;
    r[8 + 15] = 0x90;  // write speed 7056
    r[24 + 14] = 0x14;
    r[24 + 15] = 0xAC;  // write speed 5292
    auto speeds = ReadWriteSpeeds(ByteReader(r));
    ASSERT_EQ(speeds.size(), 2u);
    EXPECT_EQ(speeds[0].readSpeed, 11080u);
    EXPECT_EQ(speeds[0].writeSpeed, 7056u);
    EXPECT_EQ(speeds[1].writeSpeed, 5292u);

    r[0] = 0x10;  // promises far more than 488 bytes hold
    EXPECT_EQ(ReadWriteSpeeds(ByteReader(r)).size(), 30u);
    r[0] = 0;
    r[3] = 3;  // shorter than its own header
    EXPECT_TRUE(ReadWriteSpeeds(ByteReader(r)).empty());
}

// A READ SUB-CHANNEL reply of format 02h or 03h: header, byte 4 the format,
// byte 5 ADR|CONTROL, byte 6 the track, byte 8 the valid flag, the text
// from byte 9.
Bytes SubChannelReply(uint8_t format, uint8_t adrControl, bool valid, const std::string& text) {
    Bytes r(24, 0);
    r[3] = 20;
    r[4] = format;
    r[5] = adrControl;
    r[6] = format == 3 ? 7 : 0;
    r[8] = valid ? 0x80 : 0x00;
    std::copy(text.begin(), text.end(), r.begin() + 9);
    return r;
}

TEST(SubChannelCodes, ValidFlagSyntaxAndBounds) {
    using State = SubChannelCodeState;
    const Bytes mcn = SubChannelReply(2, 0, true, "0012345678905");
    Bytes shortLength = mcn;
    shortLength[3] = 12;  // ends before the last digits
    const struct {
        const char* name;
        Bytes reply;
        size_t size;
        bool isrc;
        State state;
        std::string text;
    } table[] = {
        {"catalog number", mcn, 24, false, State::Present, "0012345678905"},
        {"MCVal clear", SubChannelReply(2, 0, false, "0012345678905"), 24, false, State::Absent,
         "0012345678905"},
        {"all zero", SubChannelReply(2, 0, true, "0000000000000"), 24, false, State::Absent,
         "0000000000000"},
        {"not digits", SubChannelReply(2, 0, true, "00123456789O5"), 24, false, State::BadSyntax,
         "00123456789O5"},
        {"ISRC asked, MCN came", mcn, 24, true, State::Malformed, ""},
        {"data length short", shortLength, 24, false, State::Malformed, ""},
        {"buffer cut", mcn, 21, false, State::Malformed, ""},
        {"ISRC", SubChannelReply(3, 0x31, true, "USRC17607839"), 24, true, State::Present,
         "USRC17607839"},
        {"ISRC, TCVal clear", SubChannelReply(3, 0x31, false, "USRC17607839"), 24, true,
         State::Absent, "USRC17607839"},
        {"dummy ISRC", SubChannelReply(3, 0x31, true, "000000000000"), 24, true, State::BadSyntax,
         "000000000000"},
        {"header only", Bytes{0, 0x11, 0, 0}, 4, true, State::Malformed, ""},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        ByteReader reply(row.reply.data(), row.size);
        SubChannelCode code = row.isrc ? ReadIsrcReply(reply) : ReadCatalogNumberReply(reply);
        EXPECT_EQ(code.state, row.state);
        EXPECT_EQ(code.text, row.text);
    }
    // ADR is the high nibble in replies, CONTROL the low one.
    SubChannelCode isrc = ReadIsrcReply(ByteReader(table[7].reply));
    EXPECT_EQ(isrc.adr, 3);
    EXPECT_EQ(isrc.control, 1);
    EXPECT_EQ(isrc.track, 7);
}

TEST(CdTextReply, PacksWithinTheStatedLengthAndTheBuffer) {
    auto reply = [](uint16_t stated, size_t packs) {
        Bytes r = {static_cast<uint8_t>(stated >> 8), static_cast<uint8_t>(stated), 0, 0};
        for (size_t i = 0; i < packs; ++i) {
            Bytes p(18, static_cast<uint8_t>(0x80 + i));
            r.insert(r.end(), p.begin(), p.end());
        }
        return r;
    };
    const struct {
        const char* name;
        Bytes bytes;
        size_t size;
        uint32_t fullLength;
        size_t packs;
        bool complete;
    } table[] = {
        {"two packs", reply(38, 2), 40, 40, 2, true},
        {"no packs", reply(2, 0), 4, 4, 0, true},
        {"header alone, more to ask for", reply(398, 0), 4, 400, 0, false},
        {"cut in the second pack", reply(38, 2), 39, 40, 1, false},
        {"length ends inside a pack", reply(25, 2), 40, 27, 1, false},
        {"two bytes", reply(38, 0), 2, 40, 0, false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        CdTextReply r = ReadCdTextReply(ByteReader(row.bytes.data(), row.size));
        EXPECT_EQ(r.fullLength, row.fullLength);
        ASSERT_EQ(r.packs.size(), row.packs);
        EXPECT_EQ(r.complete, row.complete);
        for (size_t i = 0; i < r.packs.size(); ++i) {
            EXPECT_EQ(r.packs[i][0], 0x80 + i);
            EXPECT_EQ(r.packs[i][17], 0x80 + i);
        }
    }
}

TEST(AtipReply, TheLeadInStartWithinTheStatedLengthAndTheBuffer) {
    // A blank CD-R's ATIP: the lead-in from 97:26:65, the last lead-out at
    // 79:59:74.
    const Bytes blank = {0x00, 0x1A, 0, 0, 0x80, 0, 0x80, 0, 97, 26, 65, 0, 79, 59,
                         74,   0,    0, 0, 0,    0, 0,    0, 0,  0,  0,  0, 0,  0};
    auto leadIn = [&](uint8_t m, uint8_t s, uint8_t f) {
        Bytes b = blank;
        b[8] = m;
        b[9] = s;
        b[10] = f;
        return b;
    };
    auto stated = [&](uint8_t length) {
        Bytes b = blank;
        b[1] = length;
        return b;
    };
    const struct {
        const char* name;
        Bytes bytes;
        size_t size;
        std::optional<int32_t> start;
    } table[] = {
        {"a blank CD-R", blank, 28, -11635},
        {"90:00:00", leadIn(90, 0, 0), 28, -45150},
        {"the stated length holds the frame", stated(9), 28, -11635},
        {"the stated length ends before the frame", stated(8), 28, std::nullopt},
        {"the buffer ends before the frame", blank, 10, std::nullopt},
        {"seconds out of range", leadIn(97, 60, 0), 28, std::nullopt},
        {"frame out of range", leadIn(97, 26, 75), 28, std::nullopt},
        {"a start at the pre-gap's", leadIn(0, 0, 0), 28, std::nullopt},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AtipLeadInStart(ByteReader(row.bytes.data(), row.size)), row.start);
    }
}

}  // namespace
}  // namespace vestrel
