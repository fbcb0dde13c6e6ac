// CD-Text packs byte for byte against a published example, reading them
// back through repeats, damage and gaps, and the 6-bit lead-in form.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "drive/cd_text.h"
#include "drive/subchannel_q.h"

namespace vestrel {
namespace {

using Bytes = std::vector<uint8_t>;

CdTextPack Pack(std::initializer_list<uint8_t> header, const char (&payload)[13], uint16_t crc) {
    CdTextPack p{};
    std::copy(header.begin(), header.end(), p.begin());
    std::copy_n(payload, 12, p.begin() + 4);
    p[16] = static_cast<uint8_t>(crc >> 8);
    p[17] = static_cast<uint8_t>(crc);
    return p;
}

CdTextPack Pack(std::initializer_list<uint8_t> bytes) {
    CdTextPack p{};
    std::copy(bytes.begin(), bytes.end(), p.begin());
    return p;
}

// The album "Joyful Nights" of three tracks, English, ISO-8859-1.
CdTextBlock Nightcats() {
    CdTextBlock b;
    b.firstTrack = 1;
    b.lastTrack = 3;
    b.texts[cdtext::Title] = {"Joyful Nights", "Song of Joy", "Humpty Dumpty", "Mee Owwww"};
    b.texts[cdtext::Performer] = {"", "Felix and The Purrs", "Catwalk Beauties", "Mia Kitten"};
    b.texts[cdtext::Songwriter] = {"", "Friedrich Schiller", "Mother Goose", "Mia Kitten"};
    b.texts[cdtext::UpcIsrc] = {"1234567890123", "XYBLG1101234", "XYBLG1100005", "XYBLG1100006"};
    return b;
}

const std::vector<CdTextPack> kNightcatsPacks = {
    Pack({0x80, 0x00, 0x00, 0x00}, "Joyful Night", 0xF0F7),
    Pack({0x80, 0x00, 0x01, 0x0C}, "s\0Song of Jo", 0x431C),
    Pack({0x80, 0x01, 0x02, 0x0A}, "y\0Humpty Dum", 0x43F9),
    Pack({0x80, 0x02, 0x03, 0x0A}, "pty\0Mee Owww", 0x2472),
    Pack({0x80, 0x03, 0x04, 0x08}, "w\0\0\0\0\0\0\0\0\0\0\0", 0x6EAF),
    Pack({0x81, 0x00, 0x05, 0x00}, "\0Felix and T", 0x4D51),
    Pack({0x81, 0x01, 0x06, 0x0B}, "he Purrs\0Cat", 0xA740),
    Pack({0x81, 0x02, 0x07, 0x03}, "walk Beautie", 0x5980),
    Pack({0x81, 0x02, 0x08, 0x0F}, "s\0Mia Kitten", 0x30C9),
    Pack({0x81, 0x03, 0x09, 0x0A}, "\0\0\0\0\0\0\0\0\0\0\0\0", 0xAD19),
    Pack({0x82, 0x00, 0x0A, 0x00}, "\0Friedrich S", 0x708F),
    Pack({0x82, 0x01, 0x0B, 0x0B}, "chiller\0Moth", 0x3343),
    Pack({0x82, 0x02, 0x0C, 0x04}, "er Goose\0Mia", 0xD6F5),
    Pack({0x82, 0x03, 0x0D, 0x03}, " Kitten\0\0\0\0\0", 0xF583),
    Pack({0x8E, 0x00, 0x0E, 0x00}, "123456789012", 0x923E),
    Pack({0x8E, 0x00, 0x0F, 0x0C}, "3\0XYBLG11012", 0xC02B),
    Pack({0x8E, 0x01, 0x10, 0x0A}, "34\0XYBLG1100", 0xBBB3),
    Pack({0x8E, 0x02, 0x11, 0x09}, "005\0XYBLG110", 0xF3BF),
    Pack({0x8E, 0x03, 0x12, 0x08}, "0006\0\0\0\0\0\0\0\0", 0x5B5C),
    Pack({0x8F, 0x00, 0x13, 0x00, 0x00, 0x01, 0x03, 0x00, 0x05, 0x05, 0x04, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x9B, 0xFE}),
    Pack({0x8F, 0x01, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x03, 0x15, 0x00, 0x00,
          0x00, 0x11, 0x0B}),
    Pack({0x8F, 0x02, 0x15, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x00, 0xDA, 0x77}),
};

TEST(CdTextPacks, TheNightcatsAlbumIsBuiltByteForByte) {
    const CdTextBlock block = Nightcats();
    CdTextBuild build = BuildCdTextPacks({&block, 1});
    ASSERT_EQ(build.fault, CdTextFault::None);
    ASSERT_EQ(build.packs.size(), kNightcatsPacks.size());
    for (size_t i = 0; i < build.packs.size(); ++i)
        EXPECT_EQ(build.packs[i], kNightcatsPacks[i]) << "pack " << i;
}

// An album's texts as a copy carries them: the example without its codes,
// its texts given in UTF-8 and written in ISO 8859-1.
TEST(CdTextPacks, AnAlbumsTextsAreOneLatin1Block) {
    CdTextBlock want = Nightcats();
    want.texts.erase(cdtext::UpcIsrc);
    want.texts[cdtext::Title][2] = "Humpty D\xFCmpty ?";
    std::vector<CdTexts> tracks(3);
    for (size_t t = 0; t < 3; ++t) {
        tracks[t] = {want.texts[cdtext::Title][t + 1], want.texts[cdtext::Performer][t + 1],
                     want.texts[cdtext::Songwriter][t + 1]};
    }
    tracks[1].title = "Humpty D\u00FCmpty \u20AC";
    const CdTexts album{"Joyful Nights", "", ""};
    EXPECT_EQ(AlbumCdTextPacks(album, tracks), BuildCdTextPacks({&want, 1}).packs);

    want.texts.erase(cdtext::Performer);
    want.texts.erase(cdtext::Songwriter);
    for (CdTexts& t : tracks)
        t.performer = t.songwriter = "";
    EXPECT_EQ(AlbumCdTextPacks(album, tracks), BuildCdTextPacks({&want, 1}).packs)
        << "a type without a text is left out";
    EXPECT_TRUE(AlbumCdTextPacks({}, std::vector<CdTexts>(3)).empty());
}

TEST(CdTextPacks, ReadingSurvivesRepeatsDamageAndGaps) {
    auto broken = [](size_t n) {
        std::vector<CdTextPack> packs = kNightcatsPacks;
        packs[n][17] ^= 0x01;
        return packs;
    };
    const CdTextBlock whole = Nightcats();
    CdTextBlock lostPerformers = whole;
    // Pack 6 ends track 1's performer and starts track 2's: both are lost,
    // track 3's is picked up after the next terminator.
    lostPerformers.texts[cdtext::Performer] = {"", "", "", "Mia Kitten"};
    CdTextBlock lostSizeInfo = whole;
    lostSizeInfo.language = 0;

    std::vector<CdTextPack> cycles;
    for (int i = 0; i < 3; ++i)
        cycles.insert(cycles.end(), kNightcatsPacks.rbegin(), kNightcatsPacks.rend());
    std::vector<CdTextPack> repaired = broken(6);
    repaired.push_back(kNightcatsPacks[6]);
    // A CRC-valid pack with the number of pack 0 and other bytes.
    std::vector<CdTextPack> conflicting = kNightcatsPacks;
    CdTextPack other = kNightcatsPacks[0];
    other[4] = 'X';
    ByteWriter(other).Be16(16, SubcodeCrc({other.data(), 16}));
    conflicting.push_back(other);
    std::vector<CdTextPack> withoutSizeInfo(kNightcatsPacks.begin(), kNightcatsPacks.end() - 3);

    const struct {
        const char* name;
        std::vector<CdTextPack> packs;
        CdTextBlock block;
        size_t rejected, conflicting, missing;
    } table[] = {
        {"as built", kNightcatsPacks, whole, 0, 0, 0},
        {"three cycles, backwards", cycles, whole, 0, 0, 0},
        {"pack 6 with a bad CRC", broken(6), lostPerformers, 1, 0, 1},
        {"pack 6 bad, then again good", repaired, whole, 1, 0, 0},
        {"a second pack 0", conflicting, whole, 0, 1, 0},
        {"no size information", withoutSizeInfo, lostSizeInfo, 0, 0, 0},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        CdTextReading r = ReadCdTextPacks(row.packs);
        ASSERT_EQ(r.blocks.size(), 1u);
        EXPECT_EQ(r.blocks[0], row.block);
        EXPECT_EQ(r.set.rejected, row.rejected);
        EXPECT_EQ(r.set.conflicting, row.conflicting);
        EXPECT_EQ(r.missingPacks, row.missing);
    }
}

// The headers (bytes 0..3) of a block's packs.
std::vector<Bytes> Headers(const std::vector<CdTextPack>& packs) {
    std::vector<Bytes> headers;
    for (const CdTextPack& p : packs)
        headers.push_back(Bytes(p.begin(), p.begin() + 4));
    return headers;
}

TEST(CdTextPacks, LongTextsDoubleBytesAndSecondBlocks) {
    // A disc whose audio starts at track 2: the album's text is followed
    // by track 2's.
    CdTextBlock english;
    english.firstTrack = english.lastTrack = 2;
    english.texts[cdtext::Title] = {std::string(40, 'a'), "", "b"};
    CdTextBlock japanese;
    japanese.language = cdtext::Japanese;
    japanese.characterCode = cdtext::MsJis;
    // Seven two-byte characters, then one; the ISRC stays single-byte.
    japanese.texts[cdtext::Title] = {"\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8\x82\xA9\x82\xAB",
                                     "\x82\xAD"};
    japanese.texts[cdtext::UpcIsrc] = {"", "JPAB01234567"};
    const CdTextBlock blocks[] = {english, japanese};
    CdTextBuild build = BuildCdTextPacks(blocks);
    ASSERT_EQ(build.fault, CdTextFault::None);
    const std::vector<Bytes> expected = {
        // Block 0: the character position stops at 15.
        {0x80, 0x00, 0x00, 0x00},
        {0x80, 0x00, 0x01, 0x0C},
        {0x80, 0x00, 0x02, 0x0F},
        {0x80, 0x00, 0x03, 0x0F},
        {0x8F, 0x00, 0x04, 0x00},
        {0x8F, 0x01, 0x05, 0x00},
        {0x8F, 0x02, 0x06, 0x00},
        // Block 1: numbered from 0 again; positions count characters.
        {0x80, 0x00, 0x00, 0x90},
        {0x80, 0x00, 0x01, 0x96},
        {0x8E, 0x00, 0x02, 0x10},
        {0x8E, 0x01, 0x03, 0x1B},
        {0x8F, 0x00, 0x04, 0x10},
        {0x8F, 0x01, 0x05, 0x10},
        {0x8F, 0x02, 0x06, 0x10},
    };
    EXPECT_EQ(Headers(build.packs), expected);
    // Two NULs end a double-byte text; one the single-byte ISRC.
    EXPECT_EQ(Bytes(build.packs[8].begin() + 4, build.packs[8].begin() + 10),
              (Bytes{0x82, 0xAB, 0, 0, 0x82, 0xAD}));
    EXPECT_EQ(Bytes(build.packs[9].begin() + 4, build.packs[9].begin() + 6), (Bytes{0, 'J'}));
    // Every block's size information lists both blocks' last sequence
    // numbers and languages.
    for (size_t at : {5u, 12u}) {
        EXPECT_EQ(Bytes(build.packs[at].begin() + 12, build.packs[at].begin() + 16),
                  (Bytes{0x06, 0x06, 0, 0}));
        EXPECT_EQ(build.packs[at + 1][8], cdtext::English);
        EXPECT_EQ(build.packs[at + 1][9], cdtext::Japanese);
    }
    CdTextReading r = ReadCdTextPacks(build.packs);
    ASSERT_EQ(r.blocks.size(), 2u);
    EXPECT_EQ(r.blocks[0], english);
    EXPECT_EQ(r.blocks[1], japanese);
}

TEST(CdTextPacks, RepeatsBecomeTabsOnlyWhenTheBlockWouldNotFitOtherwise) {
    CdTextBlock block;
    block.lastTrack = 99;
    std::vector<std::string>& performers = block.texts[cdtext::Performer];
    performers.assign(100, "The Very Same Orchestra And Choir");
    performers[0] = "";
    for (uint8_t last : {3, 99}) {
        SCOPED_TRACE(int(last));
        block.lastTrack = last;
        CdTextBuild build = BuildCdTextPacks({&block, 1});
        ASSERT_EQ(build.fault, CdTextFault::None);
        const bool tabs = std::any_of(build.packs.begin(), build.packs.end(), [](auto& p) {
            return p[0] == cdtext::Performer &&
                   std::find(p.begin() + 4, p.begin() + 16, '\t') != p.begin() + 16;
        });
        EXPECT_EQ(tabs, last == 99);
        CdTextReading r = ReadCdTextPacks(build.packs);
        ASSERT_EQ(r.blocks.size(), 1u);
        CdTextBlock want = block;
        want.texts[cdtext::Performer].resize(size_t{last} + 1);
        EXPECT_EQ(r.blocks[0], want);
    }
}

TEST(CdTextPacks, WhatCannotBeWrittenIsRefused) {
    auto with = [](auto change) {
        std::vector<CdTextBlock> blocks{Nightcats()};
        change(blocks);
        return blocks;
    };
    const struct {
        const char* name;
        std::vector<CdTextBlock> blocks;
        CdTextFault fault;
    } table[] = {
        {"no block", {}, CdTextFault::NoBlocks},
        {"nine blocks", std::vector<CdTextBlock>(9), CdTextFault::TooManyBlocks},
        {"track 0", with([](auto& b) { b[0].firstTrack = 0; }), CdTextFault::TrackRange},
        {"track 100", with([](auto& b) { b[0].lastTrack = 100; }), CdTextFault::TrackRange},
        {"genre as text", with([](auto& b) { b[0].texts[cdtext::Genre] = {"x"}; }),
         CdTextFault::PackType},
        {"NUL inside", with([](auto& b) { b[0].texts[cdtext::Title][2] = std::string("a\0b", 3); }),
         CdTextFault::TextHasTerminator},
        {"odd double-byte",
         with([](auto& b) { b[0].characterCode = cdtext::MsJis; }),  // "Joyful Nights" is 13 bytes
         CdTextFault::OddDoubleByteText},
        {"99 long titles", with([](auto& b) {
             b[0].lastTrack = 99;
             for (int t = 0; t < 100; ++t)
                 b[0].texts[cdtext::Title].push_back(std::string(40, char('A' + t % 26)) +
                                                     std::to_string(t));
         }),
         CdTextFault::TooManyPacks},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        CdTextBuild build = BuildCdTextPacks(row.blocks);
        EXPECT_EQ(build.fault, row.fault);
        EXPECT_TRUE(build.packs.empty());
    }
}

TEST(CdTextLeadIn, PacksAreSpreadOverSixBitSymbols) {
    const CdTextPack pack = Pack({0x8F, 0x00, 0x2A, 0x00, 0x01, 0x01, 0x03, 0x00, 0x06, 0x05, 0x04,
                                  0x05, 0x07, 0x06, 0x01, 0x02, 0x48, 0x65});
    const Bytes spread = {0x23, 0x30, 0x00, 0x2A, 0x00, 0x00, 0x04, 0x01, 0x00, 0x30, 0x00, 0x06,
                          0x01, 0x10, 0x10, 0x05, 0x01, 0x30, 0x18, 0x01, 0x00, 0x24, 0x21, 0x25};
    EXPECT_EQ(SubcodeCrc({pack.data(), 16}), 0x4865);
    const auto got = SpreadCdTextPack(pack);
    EXPECT_EQ(Bytes(got.begin(), got.end()), spread);
    // Bits 7..6 carry P and Q when read back from a drive.
    Bytes withPq = spread;
    for (size_t i = 0; i < withPq.size(); i += 2)
        withPq[i] |= 0xC0;
    EXPECT_EQ(GatherCdTextPack(ByteReader(withPq)), pack);
}

TEST(CdTextLeadIn, TheLeadInRepeatsThePacksInCycles) {
    EXPECT_EQ(CdTextLeadInBlocks(-11635), 11485u);
    EXPECT_EQ(CdTextLeadInBlocks(-151), 1u);
    EXPECT_EQ(CdTextLeadInBlocks(-150), 0u);
    // Lead-in blocks 5..14: packs 20, 21, 0, 1 in the first, and so on.
    Bytes out(10 * kLeadInBlockBytes + 7, 0xEE);
    FillCdTextLeadIn(kNightcatsPacks, 5, out);
    const size_t order[] = {20, 21, 0, 1, 2};
    for (size_t i = 0; i < 5; ++i) {
        const auto spread = SpreadCdTextPack(kNightcatsPacks[order[i]]);
        EXPECT_TRUE(std::equal(spread.begin(), spread.end(), out.begin() + i * 24)) << i;
    }
    EXPECT_EQ(out.back(), 0xEE);  // not a whole block: left alone
    std::vector<CdTextPack> packs = GatherCdTextLeadIn(ByteReader(out));
    EXPECT_EQ(packs.size(), 40u);
    CdTextReading r = ReadCdTextPacks(packs);
    ASSERT_EQ(r.blocks.size(), 1u);
    EXPECT_EQ(r.blocks[0], Nightcats());
    EXPECT_EQ(r.set.packs, kNightcatsPacks);
}

}  // namespace
}  // namespace vestrel
