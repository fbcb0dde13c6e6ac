// What an audio CD carries besides its samples: cue sheet keywords for
// pressed discs, the TOC's CONTROL bits, hidden audio and pre-gaps read with
// READ CD, the Q sub-channel of every sector, READ SUB-CHANNEL and CD-Text
// replies, the recorder's cue sheet rules, and a recorded copy that carries
// the same indexes, flags, ISRCs and catalogue number as the sheet sent.
#include <functional>

#include "drive/cd_text.h"
#include "drive/mmc_commands.h"
#include "drive/subchannel_q.h"
#include "simulator/cd_sector.h"
#include "tests/simulator/sim_fixture.h"

namespace vestrel::sim::testing {
namespace {

const std::string kHead = "FILE \"a.bin\" BINARY\n";

// Parses `text`; the failure's "LINE: why" goes into `error`.
bool Parse(const std::string& text, ParsedCue& sheet, std::string& error) {
    return ParseCueSheet(text, sheet, error);
}

TEST(CueKeywords, AreReadIntoTheSheet) {
    ParsedCue s;
    std::string error;
    ASSERT_TRUE(
        Parse("catalog 0012345678905\nTITLE \"Sea of Glass\"\nPERFORMER Plain words here\n"
              "SONGWRITER \"A\"\nCDTEXTFILE \"disc.cdt\"\n" +
                  kHead +
                  "TRACK 01 AUDIO\n  TITLE \"One\"\n  FLAGS pre DCP 4CH SCMS\n"
                  "  ISRC USRC17607839\n  INDEX 00 00:00:00\n  INDEX 01 00:30:00\n"
                  "  INDEX 02 00:31:00\n  INDEX 03 00:32:05\n"
                  "TRACK 02 MODE1/2352\n  FLAGS DCP\n  PREGAP 00:03:37\n"
                  "  INDEX 01 00:40:00\n",
              s, error))
        << error;
    EXPECT_EQ(s.catalog, "0012345678905");
    EXPECT_EQ(s.text, (CdTexts{"Sea of Glass", "Plain words here", "A"}));
    EXPECT_EQ(s.cdTextFile, "disc.cdt");
    ASSERT_EQ(s.tracks.size(), 2u);
    const ParsedCueTrack& one = s.tracks[0];
    EXPECT_EQ(one.text.title, "One");
    EXPECT_EQ(one.control, 0x0B);
    EXPECT_TRUE(one.scms);
    EXPECT_EQ(one.isrc, "USRC17607839");
    EXPECT_EQ(one.index0, 0);
    EXPECT_EQ(one.index1, 2250);
    EXPECT_EQ(one.laterIndexes, (std::vector<int32_t>{2325, 2405}));
    const ParsedCueTrack& two = s.tracks[1];
    EXPECT_EQ(two.control, 0x06);  // data, copy permitted
    EXPECT_FALSE(two.scms);
    EXPECT_EQ(two.pregap, 262);
    EXPECT_EQ(two.index0, -1);
}

TEST(CueKeywords, MalformedValuesNameTheirLine) {
    const std::string track = kHead + "TRACK 01 AUDIO\n";
    struct Case {
        std::string text;
        const char* error;
    };
    for (const Case& c : {
             Case{"CATALOG 001234567890\n" + kHead, "1: CATALOG takes 13 digits"},
             Case{"CATALOG 001234567890A\n", "1: CATALOG takes 13 digits"},
             Case{"CATALOG 0012345678905\nCATALOG 0012345678905\n", "2: CATALOG belongs"},
             Case{track + "CATALOG 0012345678905\n", "3: CATALOG belongs"},
             Case{track + "ISRC USRC1760783\n", "3: ISRC takes"},
             Case{track + "ISRC usrc17607839\n", "3: ISRC takes"},
             Case{track + "ISRC USRC1760783X\n", "3: ISRC takes"},
             Case{track + "ISRC US-C17607839\n", "3: ISRC takes"},
             Case{kHead + "ISRC USRC17607839\n", "2: ISRC belongs"},
             Case{track + "ISRC USRC17607839\nISRC USRC17607839\n", "4: ISRC belongs"},
             Case{track + "INDEX 01 00:00:00\nISRC USRC17607839\n", "4: ISRC belongs"},
             Case{kHead + "TRACK 01 MODE1/2048\nISRC USRC17607839\n", "3: only AUDIO"},
             Case{track + "FLAGS\n", "3: FLAGS names no flag"},
             Case{track + "FLAGS DCP LOUD\n", "3: unknown flag LOUD"},
             Case{track + "FLAGS DCP\nFLAGS PRE\n", "4: FLAGS belongs"},
             Case{kHead + "TRACK 01 MODE1/2352\nFLAGS PRE\n", "3: PRE and 4CH"},
             Case{track + "INDEX 02 00:00:00\n", "3: INDEX numbers"},
             Case{track + "INDEX 00 00:00:00\nINDEX 02 00:01:00\n", "4: INDEX numbers"},
             Case{track + "INDEX 01 00:00:00\nINDEX 03 00:01:00\n", "4: INDEX numbers"},
             Case{track + "INDEX 01 00:00:00\nINDEX 01 00:01:00\n", "4: INDEX numbers"},
             Case{track + "INDEX 00 00:02:00\nINDEX 01 00:01:00\n", "4: INDEX times must rise"},
             Case{track + "INDEX 01 00:02:00\nINDEX 02 00:02:00\n", "4: INDEX times must rise"},
             Case{track + "INDEX 100 00:02:00\n", "3: bad INDEX"},
             Case{track + "PREGAP 00:02\n", "3: bad PREGAP"},
             Case{track + "INDEX 01 00:00:00\nPREGAP 00:02:00\n", "4: PREGAP belongs"},
             Case{track + "TITLE \"unterminated\n", "3: bad TITLE"},
             Case{track + "TITLE \"a\" b\n", "3: bad TITLE"},
             Case{track + "PERFORMER \"\"\n", "3: PERFORMER takes 1 to 80"},
             Case{track + "SONGWRITER \"" + std::string(81, 'x') + "\"\n", "3: SONGWRITER takes"},
             Case{track + "TITLE a\nTITLE b\n", "4: TITLE given twice"},
             Case{track + "CDTEXTFILE \"x.cdt\"\n", "3: CDTEXTFILE belongs"},
             Case{track + "TRACK 02 AUDIO\n", "3: track 1 has no INDEX 01"},
         }) {
        ParsedCue sheet;
        std::string error;
        EXPECT_FALSE(Parse(c.text, sheet, error)) << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " gave: " << error;
    }
}

// --- the album ----------------------------------------------------------
//
// Four audio tracks: 30 s of hidden audio before track 1, a 2 s pre-gap in
// the file before track 2 (pre-emphasis), none before track 3 (an index 2
// at 3 s), 263 blocks (3.5 s) of PREGAP silence before track 4 (copy
// permitted), a catalogue number and ISRCs on three tracks.
constexpr uint32_t kAlbumFileBlocks = 4075;
constexpr int32_t kAlbumLeadOut = 4338;

const char* const kAlbumCue =
    "CATALOG 0012345678905\n"
    "PERFORMER \"The Simulated\"\n"
    "TITLE \"Album\"\n"
    "FILE \"album.bin\" BINARY\n"
    "  TRACK 01 AUDIO\n"
    "    TITLE \"Hidden\"\n"
    "    ISRC USRC17607839\n"
    "    INDEX 00 00:00:00\n"
    "    INDEX 01 00:30:00\n"
    "  TRACK 02 AUDIO\n"
    "    FLAGS PRE\n"
    "    ISRC GBAYE0000351\n"
    "    INDEX 00 00:35:00\n"
    "    INDEX 01 00:37:00\n"
    "  TRACK 03 AUDIO\n"
    "    SONGWRITER \"Someone\"\n"
    "    ISRC DEA123456789\n"
    "    INDEX 01 00:42:25\n"
    "    INDEX 02 00:45:25\n"
    "  TRACK 04 AUDIO\n"
    "    FLAGS DCP\n"
    "    PREGAP 00:03:38\n"
    "    INDEX 01 00:49:00\n";

DiscMetadata AlbumMetadata(bool texts) {
    DiscMetadata m;
    m.mcn = "0012345678905";
    m.tracks = {
        TrackMetadata{1, 0, false, "USRC17607839", {-150, 2250}, {}},
        TrackMetadata{2, kControlPreEmphasis, false, "GBAYE0000351", {2625, 2775}, {}},
        TrackMetadata{3, 0, false, "DEA123456789", {3175, 3175, 3400}, {}},
        TrackMetadata{4, kControlCopyPermitted, false, "", {3675, 3938}, {}},
    };
    if (texts) {
        m.text = CdTexts{"Album", "The Simulated", ""};
        m.tracks[0].text.title = "Hidden";
        m.tracks[2].text.songwriter = "Someone";
    }
    return m;
}

// The album's sectors as the disc holds them, LBA 0 up to the lead-out:
// the file's, with the PREGAP silence before track 4 inserted.
std::vector<uint8_t> AlbumSectors(const std::vector<uint8_t>& file) {
    const size_t before = size_t{3675} * kRawSectorSize;
    std::vector<uint8_t> disc(file.begin(), file.begin() + before);
    disc.resize(before + size_t{263} * kRawSectorSize, 0);
    disc.insert(disc.end(), file.begin() + before, file.end());
    return disc;
}

// The album's cue sheet for SEND CUE SHEET (binary MSF, as the system
// sends it), entry by entry.
std::vector<uint8_t> AlbumCueSheet() {
    return {
        0x02, '0',  '0',  '1',  '2',  '3',  '4',  '5',   // MCN digits 1-7
        0x02, '6',  '7',  '8',  '9',  '0',  '5',  0x00,  // MCN digits 8-13
        0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,  // lead-in
        0x03, 0x01, 'U',  'S',  'R',  'C',  '1',  '7',   // T1 ISRC
        0x03, 0x01, '6',  '0',  '7',  '8',  '3',  '9',   //
        0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // T1 INDEX 00 00:00:00
        0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x20, 0x00,  // T1 INDEX 01 00:32:00
        0x13, 0x02, 'G',  'B',  'A',  'Y',  'E',  '0',   // T2 ISRC, pre-emphasis
        0x13, 0x02, '0',  '0',  '0',  '3',  '5',  '1',   //
        0x11, 0x02, 0x00, 0x00, 0x00, 0x00, 0x25, 0x00,  // T2 INDEX 00 00:37:00
        0x11, 0x02, 0x01, 0x00, 0x00, 0x00, 0x27, 0x00,  // T2 INDEX 01 00:39:00
        0x03, 0x03, 'D',  'E',  'A',  '1',  '2',  '3',   // T3 ISRC
        0x03, 0x03, '4',  '5',  '6',  '7',  '8',  '9',   //
        0x01, 0x03, 0x01, 0x00, 0x00, 0x00, 0x2C, 0x19,  // T3 INDEX 01 00:44:25
        0x01, 0x03, 0x02, 0x00, 0x00, 0x00, 0x2F, 0x19,  // T3 INDEX 02 00:47:25
        0x21, 0x04, 0x00, 0x00, 0x00, 0x00, 0x33, 0x00,  // T4 INDEX 00 00:51:00, copy permitted
        0x21, 0x04, 0x01, 0x00, 0x00, 0x00, 0x36, 0x26,  // T4 INDEX 01 00:54:38
        0x01, 0xAA, 0x01, 0x01, 0x00, 0x00, 0x3B, 0x3F,  // lead-out 00:59:63
    };
}

class AlbumTest : public ::testing::Test {
  protected:
    void SetUp() override {
        file = PatternBytes(size_t{kAlbumFileBlocks} * kRawSectorSize, 41);
        WriteFile(folder.path() / "album.bin", file);
        const std::string text = kAlbumCue;
        WriteFile(folder.path() / "album.cue", std::vector<uint8_t>(text.begin(), text.end()));
    }
    std::unique_ptr<Disc> Pressed() {
        std::string error;
        std::unique_ptr<Disc> d = Disc::FromCue(folder.path() / "album.cue", error);
        EXPECT_TRUE(d) << error;
        return d;
    }
    std::vector<uint8_t> ReadCd(char16_t letter, int32_t lba, uint32_t blocks) {
        std::vector<uint8_t> out(size_t{blocks} * kRawSectorSize);
        const ScsiResult r = SendReadCd(letter, static_cast<uint32_t>(lba), blocks, out);
        EXPECT_TRUE(r.ok()) << "READ CD at " << lba << ": " << int(r.senseKey) << "/" << int(r.asc);
        return out;
    }
    void ExpectSectors(char16_t letter) {
        const std::vector<uint8_t> expected = AlbumSectors(file);
        for (int32_t lba = 0; lba < kAlbumLeadOut; lba += 25) {
            const uint32_t n = static_cast<uint32_t>(std::min(25, kAlbumLeadOut - lba));
            const std::vector<uint8_t> got = ReadCd(letter, lba, n);
            ASSERT_TRUE(
                std::equal(got.begin(), got.end(), expected.begin() + size_t(lba) * kRawSectorSize))
                << "LBA " << lba;
        }
    }
    TempFolder folder;
    std::vector<uint8_t> file;
};

TEST_F(AlbumTest, PressedDiscCarriesTheSheetsMetadata) {
    std::unique_ptr<Disc> disc = Pressed();
    ASSERT_TRUE(disc);
    EXPECT_EQ(disc->metadata, AlbumMetadata(true));
    EXPECT_EQ(disc->LeadOut(), kAlbumLeadOut);
}

TEST_F(AlbumTest, TocRepliesCarryEachTracksControlBits) {
    Bay bay(BaySpec().Drive('D', "dvd-rom-reader"));
    ASSERT_TRUE(bay.simulator.LoadDisc(u'D', Pressed()));
    struct Case {
        bool msf;
        std::vector<uint8_t> reply;
    };
    for (const Case& c : {
             Case{false, {0x00, 0x2A, 0x01, 0x04,                          //
                          0x00, 0x10, 0x01, 0x00, 0x00, 0x00, 0x08, 0xCA,  // 2250
                          0x00, 0x11, 0x02, 0x00, 0x00, 0x00, 0x0A, 0xD7,  // 2775, PRE
                          0x00, 0x10, 0x03, 0x00, 0x00, 0x00, 0x0C, 0x67,  // 3175
                          0x00, 0x12, 0x04, 0x00, 0x00, 0x00, 0x0F, 0x62,  // 3938, DCP
                          0x00, 0x12, 0xAA, 0x00, 0x00, 0x00, 0x10, 0xF2}},
             Case{true, {0x00, 0x2A, 0x01, 0x04,                          //
                         0x00, 0x10, 0x01, 0x00, 0x00, 0x00, 0x20, 0x00,  // 00:32:00
                         0x00, 0x11, 0x02, 0x00, 0x00, 0x00, 0x27, 0x00,  // 00:39:00
                         0x00, 0x10, 0x03, 0x00, 0x00, 0x00, 0x2C, 0x19,  // 00:44:25
                         0x00, 0x12, 0x04, 0x00, 0x00, 0x00, 0x36, 0x26,  // 00:54:38
                         0x00, 0x12, 0xAA, 0x00, 0x00, 0x00, 0x3B, 0x3F}},
         }) {
        std::vector<uint8_t> reply(kTocLength);
        ASSERT_TRUE(SendReadToc(u'D', c.msf, reply).ok());
        reply.resize(c.reply.size());
        EXPECT_EQ(reply, c.reply) << (c.msf ? "MSF" : "LBA");
    }
}

TEST_F(AlbumTest, ReadCdReturnsHiddenAudioPreGapsAndSilence) {
    Bay bay(BaySpec().Drive('D', "dvd-rom-reader"));
    ASSERT_TRUE(bay.simulator.LoadDisc(u'D', Pressed()));
    struct Case {
        int32_t lba;
        uint32_t blocks;
        int64_t fileBlock;  // -1: silence
    };
    for (const Case& c : {
             Case{0, 10, 0},        // hidden audio before track 1
             Case{2240, 20, 2240},  // across track 1's index 1
             Case{2620, 10, 2620},  // into track 2's pre-gap
             Case{3665, 10, 3665},  // the end of track 3
             Case{3675, 263, -1},   // the PREGAP silence before track 4
             Case{3938, 10, 3675},  // track 4 resumes the file
             Case{4330, 8, 4067},   // up to the lead-out
         }) {
        const std::vector<uint8_t> got = ReadCd(u'D', c.lba, c.blocks);
        std::vector<uint8_t> want(got.size(), 0);
        if (c.fileBlock >= 0)
            want.assign(file.begin() + c.fileBlock * kRawSectorSize,
                        file.begin() + (c.fileBlock + c.blocks) * kRawSectorSize);
        EXPECT_TRUE(got == want) << "LBA " << c.lba;
    }
    // A read across the PREGAP's edges: file, zeros, file.
    std::vector<uint8_t> got = ReadCd(u'D', 3674, 265);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + kRawSectorSize,
                           file.begin() + size_t{3674} * kRawSectorSize));
    EXPECT_TRUE(std::all_of(got.begin() + kRawSectorSize, got.end() - kRawSectorSize,
                            [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(got.end() - kRawSectorSize, got.end(),
                           file.begin() + size_t{3675} * kRawSectorSize));
    std::vector<uint8_t> past(kRawSectorSize);
    EXPECT_TRUE(Sensed(SendReadCd(u'D', kAlbumLeadOut, 1, past), 5, 0x21, 0));
}

TEST_F(AlbumTest, ExportedCueBinReadsBackWithTheSameMetadata) {
    std::unique_ptr<Disc> disc = Pressed();
    ASSERT_TRUE(disc);
    std::string error;
    ASSERT_TRUE(disc->ExportCueBin(folder.path() / "out.cue", folder.path() / "out.bin", error))
        << error;
    std::unique_ptr<Disc> again = Disc::FromCue(folder.path() / "out.cue", error);
    ASSERT_TRUE(again) << error;
    EXPECT_EQ(again->metadata, AlbumMetadata(true));
    EXPECT_EQ(again->tracks().size(), 4u);
    EXPECT_TRUE(ReadFile(folder.path() / "out.bin") == AlbumSectors(file));
}

// --- what the album carries in sub-channel Q, READ SUB-CHANNEL and CD-Text ---

// Where each index of the album begins: track, index, the LBA of the
// track's index 1 and its CONTROL bits, up to the next row.
struct IndexRun {
    int32_t from;
    uint8_t track;
    uint8_t index;
    int32_t indexOne;
    uint8_t control;
};
constexpr IndexRun kAlbumRuns[] = {
    {-150, 1, 0, 2250, 0},                      // hidden audio
    {2250, 1, 1, 2250, 0},                      //
    {2625, 2, 0, 2775, kControlPreEmphasis},    // pre-gap in the file
    {2775, 2, 1, 2775, kControlPreEmphasis},    //
    {3175, 3, 1, 3175, 0},                      // no pre-gap
    {3400, 3, 2, 3175, 0},                      //
    {3675, 4, 0, 3938, kControlCopyPermitted},  // PREGAP silence
    {3938, 4, 1, 3938, kControlCopyPermitted},
};

const IndexRun& AlbumRunAt(int32_t lba) {
    const IndexRun* run = &kAlbumRuns[0];
    for (const IndexRun& r : kAlbumRuns) {
        if (r.from <= lba)
            run = &r;
    }
    return *run;
}

const char* const kAlbumIsrcs[] = {"USRC17607839", "GBAYE0000351", "DEA123456789", ""};

// Every sector of the album, read with the Q sub-channel in `selection`:
// its 2352 bytes and Q frame (raw P-W gathered back into the 12 bytes).
struct SectorQ {
    std::vector<uint8_t> audio;
    std::vector<QFrameBytes> q;
    std::vector<uint8_t> formattedTail;  // bytes 12..15 of each formatted Q
    std::vector<bool> p;                 // bit 7 of each raw P-W block's bytes, all alike
};
SectorQ ReadAlbumQ(char16_t letter, SubChannelSelection selection) {
    SectorQ s;
    const uint32_t block = ReadCdAudioBlockBytes(selection);
    std::vector<uint8_t> buffer;
    for (int32_t lba = 0; lba < kAlbumLeadOut; lba += 50) {
        const uint32_t n = static_cast<uint32_t>(std::min(50, kAlbumLeadOut - lba));
        buffer.assign(size_t{n} * block, 0);
        const ScsiResult r = SendReadCdAudio(letter, lba, n, selection, buffer);
        EXPECT_TRUE(r.ok()) << "LBA " << lba;
        if (!r.ok())
            return s;
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t* b = buffer.data() + size_t{i} * block;
            s.audio.insert(s.audio.end(), b, b + kRawSectorSize);
            ByteReader sub(b + kRawSectorSize, block - kRawSectorSize);
            if (selection == SubChannelSelection::RawPW) {
                s.q.push_back(QFromRawSubChannel(sub).value_or(QFrameBytes{}));
                bool p = sub.Bit(0, 7);
                for (size_t k = 0; k < kRawSubChannelBytes; ++k) {
                    if (sub.Bit(k, 7) != p || (sub.U8(k) & 0x3F) != 0)
                        ADD_FAILURE() << "LBA " << lba + int32_t(i) << " P or R-W uneven";
                }
                s.p.push_back(p);
            } else {
                QFrameBytes q;
                std::copy_n(b + kRawSectorSize, kQFrameBytes, q.begin());
                s.q.push_back(q);
                s.formattedTail.insert(s.formattedTail.end(), b + kRawSectorSize + 12,
                                       b + kRawSectorSize + 16);
            }
        }
    }
    return s;
}

// Every frame checked against the album's layout: position frames against
// the runs above, the catalogue number at absolute frames 0 mod 100, the
// track's ISRC at 50 mod 100 (track 4 has none: a position there).
void ExpectAlbumQ(const std::vector<QFrameBytes>& frames, bool withCatalog = true) {
    ASSERT_EQ(frames.size(), size_t{kAlbumLeadOut});
    size_t catalogs = 0, isrcs = 0;
    for (int32_t lba = 0; lba < kAlbumLeadOut; ++lba) {
        const QFrameBytes& bytes = frames[size_t(lba)];
        const QDecoded d = DecodeQFrame(ByteReader(bytes.data(), bytes.size()));
        ASSERT_TRUE(d.ok()) << "LBA " << lba;
        ASSERT_EQ(d.crc, QCrc::Matches) << "LBA " << lba;
        const IndexRun& run = AlbumRunAt(lba);
        const uint32_t absolute = uint32_t(lba + 150);
        const QFrame& f = d.frame;
        EXPECT_EQ(f.control, run.control) << "LBA " << lba;
        const char* isrc = kAlbumIsrcs[run.track - 1];
        if (absolute % 100 == 0 && withCatalog) {
            ++catalogs;
            EXPECT_EQ(f.adr, qadr::CatalogNumber) << "LBA " << lba;
            EXPECT_EQ(f.code, "0012345678905") << "LBA " << lba;
            EXPECT_EQ(f.aframe, absolute % 75) << "LBA " << lba;
        } else if (absolute % 100 == 50 && *isrc) {
            ++isrcs;
            EXPECT_EQ(f.adr, qadr::Isrc) << "LBA " << lba;
            EXPECT_EQ(f.code, isrc) << "LBA " << lba;
            EXPECT_EQ(f.aframe, absolute % 75) << "LBA " << lba;
        } else {
            ASSERT_EQ(f.adr, qadr::Position) << "LBA " << lba;
            EXPECT_EQ(f.track, run.track) << "LBA " << lba;
            EXPECT_EQ(f.index, run.index) << "LBA " << lba;
            const int32_t fromOne = lba - run.indexOne;
            EXPECT_EQ(f.relativeFrames, uint32_t(fromOne >= 0 ? fromOne : -fromOne - 1))
                << "LBA " << lba;
            EXPECT_EQ(f.absoluteFrames, absolute) << "LBA " << lba;
        }
    }
    // LBA 0..4337 is absolute 150..4487: the catalogue number at 200, 300
    // .. 4400, an ISRC at 150, 250 .. 3750 (track 4, from 3825, has none).
    EXPECT_EQ(catalogs, withCatalog ? 43u : 0u);
    EXPECT_EQ(isrcs, 37u);
}

TEST_F(AlbumTest, EverySectorsQCarriesPositionCatalogNumberAndIsrcs) {
    Bay bay(BaySpec().Drive('D', "dvd-rom-reader"));
    ASSERT_TRUE(bay.simulator.LoadDisc(u'D', Pressed()));
    const SectorQ formatted = ReadAlbumQ(u'D', SubChannelSelection::FormattedQ);
    const SectorQ raw = ReadAlbumQ(u'D', SubChannelSelection::RawPW);
    ExpectAlbumQ(formatted.q);
    EXPECT_TRUE(raw.q == formatted.q);
    // The samples are those READ CD gives without sub-channels.
    EXPECT_TRUE(formatted.audio == AlbumSectors(file));
    EXPECT_TRUE(raw.audio == formatted.audio);
    // P is set in the pauses (index 0), in both forms.
    ASSERT_EQ(raw.p.size(), size_t{kAlbumLeadOut});
    for (int32_t lba = 0; lba < kAlbumLeadOut; ++lba) {
        const bool pause = AlbumRunAt(lba).index == 0;
        EXPECT_EQ(raw.p[size_t(lba)], pause) << "LBA " << lba;
        const uint8_t* tail = formatted.formattedTail.data() + size_t(lba) * 4;
        EXPECT_EQ(tail[0] | tail[1] | tail[2], 0) << "LBA " << lba;
        EXPECT_EQ(tail[3], pause ? 0x80 : 0x00) << "LBA " << lba;
    }
}

TEST_F(AlbumTest, FormattedQKeepsTheDiscsNibbleOrderAndBcd) {
    Bay bay(BaySpec().Drive('D', "dvd-rom-reader"));
    ASSERT_TRUE(bay.simulator.LoadDisc(u'D', Pressed()));
    struct Case {
        int32_t lba;
        std::array<uint8_t, 10> bytes;  // without the CRC
    };
    for (const Case& c : {
             // Track 2, index 0, last pre-gap frame; absolute 00:38:74.
             Case{2774, {0x11, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x38, 0x74}},
             // Track 2, index 1, relative 00:00:01; absolute 00:38:76 = 00:39:01.
             Case{2776, {0x11, 0x02, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x39, 0x01}},
             // Hidden audio: track 1, index 0, counting down from 00:29:74.
             Case{1, {0x01, 0x01, 0x00, 0x00, 0x29, 0x73, 0x00, 0x00, 0x02, 0x01}},
             // Catalogue number at absolute 4000 (frame 25), track 4's CONTROL.
             Case{3850, {0x22, 0x00, 0x12, 0x34, 0x56, 0x78, 0x90, 0x50, 0x00, 0x25}},
             // Track 2's ISRC GBAYE0000351 at absolute 2950 (frame 25).
             Case{2800, {0x13, 0x5D, 0x24, 0x69, 0x54, 0x00, 0x00, 0x35, 0x10, 0x25}},
         }) {
        std::vector<uint8_t> out(ReadCdAudioBlockBytes(SubChannelSelection::FormattedQ));
        ASSERT_TRUE(SendReadCdAudio(u'D', c.lba, 1, SubChannelSelection::FormattedQ, out).ok());
        const uint8_t* q = out.data() + kRawSectorSize;
        EXPECT_TRUE(std::equal(c.bytes.begin(), c.bytes.end(), q)) << "LBA " << c.lba;
        EXPECT_EQ((q[10] << 8) | q[11], SubcodeCrc(std::span<const uint8_t>(q, 10)))
            << "LBA " << c.lba;
    }
    // Corrected R-W, and a selection no drive knows, are refused.
    for (uint8_t selection : {0x04, 0x03, 0x08}) {
        CommandBlock b = ReadCdAudioCdb(0, 1, SubChannelSelection::None);
        b.cdb[10] = selection;
        std::vector<uint8_t> out(kRawSectorSize + 96);
        EXPECT_TRUE(Sensed(SendCommandBlock(u'D', b, out), 5, 0x24, 0)) << int(selection);
    }
}

// The replies of READ SUB-CHANNEL 02h and 03h, byte for byte: ADR high and
// CONTROL low here, the other way round from the Q frame.
std::vector<uint8_t> CodeReply(uint8_t format, uint8_t adrControl, uint8_t track,
                               const std::string& code) {
    std::vector<uint8_t> r(kSubChannelCodeLength, 0);
    r[1] = 0x15;  // no audio status
    r[3] = 0x14;
    r[4] = format;
    r[5] = adrControl;
    r[6] = track;
    r[8] = code.empty() ? 0x00 : 0x80;
    for (size_t i = 0; i < code.size(); ++i)
        r[9 + i] = static_cast<uint8_t>(code[i]);
    return r;
}

void ExpectAlbumCodeReplies(char16_t letter, bool withCatalog) {
    std::vector<uint8_t> reply(kSubChannelCodeLength);
    ASSERT_TRUE(SendReadSubChannelCatalogNumber(letter, reply).ok());
    EXPECT_EQ(reply, CodeReply(0x02, 0x00, 0x00, withCatalog ? "0012345678905" : ""));
    struct Case {
        uint8_t track;
        uint8_t adrControl;
    };
    for (const Case& c : {Case{1, 0x30}, Case{2, 0x31}, Case{3, 0x30}, Case{4, 0x32}}) {
        ASSERT_TRUE(SendReadSubChannelIsrc(letter, c.track, reply).ok());
        EXPECT_EQ(reply, CodeReply(0x03, c.adrControl, c.track, kAlbumIsrcs[c.track - 1]))
            << "track " << int(c.track);
    }
}

TEST_F(AlbumTest, ReadSubChannelGivesTheCatalogNumberAndIsrcs) {
    Bay bay(BaySpec().Drive('D', "dvd-rom-reader"));
    ASSERT_TRUE(bay.simulator.LoadDisc(u'D', Pressed()));
    ExpectAlbumCodeReplies(u'D', true);
    std::vector<uint8_t> reply(kSubChannelCodeLength);
    ASSERT_TRUE(SendReadSubChannelIsrc(u'D', 2, reply).ok());
    const SubChannelCode isrc = ReadIsrcReply(ByteReader(reply.data(), reply.size()));
    EXPECT_EQ(isrc.state, SubChannelCodeState::Present);
    EXPECT_EQ(isrc.control, kControlPreEmphasis);
    EXPECT_EQ(isrc.text, "GBAYE0000351");
    struct Case {
        const char* why;
        CommandBlock cdb;
        std::vector<uint8_t> sense;  // empty: the header alone
    };
    CommandBlock noSubQ = ReadSubChannelCatalogNumberCdb();
    noSubQ.cdb[2] = 0;
    CommandBlock catalogWithTrack = ReadSubChannelCatalogNumberCdb();
    catalogWithTrack.cdb[6] = 1;
    CommandBlock position = ReadSubChannelCatalogNumberCdb();
    position.cdb[3] = 0x01;
    for (const Case& c : {
             Case{"track 5", ReadSubChannelIsrcCdb(5), {5, 0x24, 0}},
             Case{"track 0", ReadSubChannelIsrcCdb(0), {5, 0x24, 0}},
             Case{"catalogue number of track 1", catalogWithTrack, {5, 0x24, 0}},
             Case{"current position", position, {5, 0x24, 0}},
             Case{"without SubQ", noSubQ, {}},
         }) {
        std::vector<uint8_t> out(kSubChannelCodeLength, 0xEE);
        const ScsiResult r = SendCommandBlock(u'D', c.cdb, out);
        if (c.sense.empty()) {
            ASSERT_TRUE(r.ok()) << c.why;
            out.resize(4);
            EXPECT_EQ(out, (std::vector<uint8_t>{0x00, 0x15, 0x00, 0x00})) << c.why;
        } else {
            EXPECT_TRUE(Sensed(r, c.sense[0], c.sense[1], c.sense[2])) << c.why;
        }
    }
}

// READ TOC format 0101b as the system reads it: the header, then the whole.
CdTextReply ReadCdText(char16_t letter) {
    std::vector<uint8_t> header(kCdTextHeaderLength);
    EXPECT_TRUE(SendReadTocCdText(letter, header).ok());
    const CdTextReply first = ReadCdTextReply(ByteReader(header.data(), header.size()));
    std::vector<uint8_t> whole(first.fullLength);
    EXPECT_TRUE(SendReadTocCdText(letter, whole).ok());
    return ReadCdTextReply(ByteReader(whole.data(), whole.size()));
}

TEST_F(AlbumTest, CdTextRepliesCarryTheDiscsTexts) {
    Bay bay(BaySpec().Drive('D', "dvd-rom-reader"));
    ASSERT_TRUE(bay.simulator.LoadDisc(u'D', Pressed()));
    const CdTextReply reply = ReadCdText(u'D');
    EXPECT_TRUE(reply.complete);
    // Title, performer and songwriter of 5 texts each ("Album\0Hidden\0\0\0\0"
    // 16 bytes: 2 packs; "The Simulated\0\0\0\0\0" 18: 2; "\0\0\0Someone\0\0" 12:
    // 1), and the 3 size packs.
    EXPECT_EQ(reply.packs.size(), 8u);
    EXPECT_EQ(reply.fullLength, 4 + 8 * kCdTextPackBytes);
    const CdTextReading read = ReadCdTextPacks(reply.packs);
    EXPECT_EQ(read.set.rejected, 0u);
    ASSERT_EQ(read.blocks.size(), 1u);
    const CdTextBlock& b = read.blocks[0];
    EXPECT_EQ(b.language, cdtext::English);
    EXPECT_EQ(b.characterCode, cdtext::Iso8859_1);
    EXPECT_EQ(b.firstTrack, 1);
    EXPECT_EQ(b.lastTrack, 4);
    using Texts = std::vector<std::string>;
    auto texts = [&](uint8_t type) {
        auto it = b.texts.find(type);
        Texts t = it == b.texts.end() ? Texts{} : it->second;
        t.resize(5);
        return t;
    };
    EXPECT_EQ(texts(cdtext::Title), (Texts{"Album", "Hidden", "", "", ""}));
    EXPECT_EQ(texts(cdtext::Performer), (Texts{"The Simulated", "", "", "", ""}));
    EXPECT_EQ(texts(cdtext::Songwriter), (Texts{"", "", "", "Someone", ""}));
    // The header alone when the allocation length stops there.
    std::vector<uint8_t> header(kCdTextHeaderLength);
    ASSERT_TRUE(SendReadTocCdText(u'D', header).ok());
    EXPECT_EQ(header, (std::vector<uint8_t>{0x00, 2 + 8 * 18, 0x00, 0x00}));
}

// The reading quirks of real drives, one fault each.
TEST_F(AlbumTest, ReadingQuirksFollowTheirFaults) {
    auto formattedQ = [](char16_t letter, int32_t lba) {
        std::vector<uint8_t> out(ReadCdAudioBlockBytes(SubChannelSelection::FormattedQ));
        EXPECT_TRUE(SendReadCdAudio(letter, lba, 1, SubChannelSelection::FormattedQ, out).ok());
        return std::vector<uint8_t>(out.begin() + kRawSectorSize, out.end());
    };
    struct Case {
        const char* fault;
        std::function<void(char16_t)> check;
    };
    for (const Case& c : {
             Case{"q-binary",
                  [&](char16_t d) {
                      // 00:39:01 in binary: 27h for 39; no CRC; codes stay BCD.
                      const std::vector<uint8_t> q = formattedQ(d, 2776);
                      EXPECT_EQ(q, (std::vector<uint8_t>{0x11, 0x02, 0x01, 0x00, 0x00, 0x01, 0x00,
                                                         0x00, 0x27, 0x01, 0x00, 0x00, 0x00, 0x00,
                                                         0x00, 0x00}));
                      EXPECT_EQ(DetectFormattedQNumbers(ByteReader(q.data(), q.size()), 2776),
                                QNumbers::Binary);
                      const std::vector<uint8_t> mcn = formattedQ(d, 3850);
                      EXPECT_EQ(mcn[7], 0x50);
                      EXPECT_EQ(DecodeQFrame(ByteReader(mcn.data(), 12)).crc, QCrc::Matches);
                  }},
             Case{"q-crc-errors 7",
                  [&](char16_t d) {
                      const SectorQ raw = ReadAlbumQ(d, SubChannelSelection::RawPW);
                      ASSERT_EQ(raw.q.size(), size_t{kAlbumLeadOut});
                      for (int32_t lba = 0; lba < kAlbumLeadOut; ++lba) {
                          const QFrameBytes& f = raw.q[size_t(lba)];
                          EXPECT_EQ(DecodeQFrame(ByteReader(f.data(), f.size())).crc,
                                    (lba + 150) % 7 ? QCrc::Matches : QCrc::Differs)
                              << "LBA " << lba;
                      }
                  }},
             Case{"q-shift 1",
                  [&](char16_t d) {
                      const std::vector<uint8_t> q = formattedQ(d, 2776);
                      const QDecoded f =
                          DecodeFormattedQ(ByteReader(q.data(), q.size()), QNumbers::Bcd);
                      EXPECT_EQ(f.frame.absoluteFrames, 2925u);
                      EXPECT_EQ(f.frame.relativeFrames, 0u);
                  }},
             Case{"isrc-latch 150",
                  [&](char16_t d) {
                      // Track 2's ISRC frames 25 and 125 sectors after its
                      // index 1 carry track 1's code, the one 225 after its own.
                      auto isrcAt = [&](int32_t lba) {
                          const std::vector<uint8_t> q = formattedQ(d, lba);
                          return DecodeFormattedQ(ByteReader(q.data(), q.size()), QNumbers::Bcd)
                              .frame.code;
                      };
                      EXPECT_EQ(isrcAt(2800), "USRC17607839");
                      EXPECT_EQ(isrcAt(2900), "USRC17607839");
                      EXPECT_EQ(isrcAt(3000), "GBAYE0000351");
                      EXPECT_EQ(isrcAt(2700), "GBAYE0000351");  // its pre-gap
                  }},
             Case{"cd-text-unsupported",
                  [&](char16_t d) {
                      std::vector<uint8_t> header(kCdTextHeaderLength);
                      EXPECT_TRUE(Sensed(SendReadTocCdText(d, header), 5, 0x24, 0));
                  }},
             Case{"hidden-audio-unreadable",
                  [&](char16_t d) {
                      std::vector<uint8_t> out(kRawSectorSize * 2);
                      EXPECT_TRUE(Sensed(SendReadCd(d, 2249, 2, out), 3, 0x11, 0));
                      EXPECT_TRUE(SendReadCd(d, 2250, 2, out).ok());
                  }},
         }) {
        SCOPED_TRACE(c.fault);
        Bay bay(BaySpec().Drive('D', "dvd-rom-reader").Fault('D', c.fault));
        ASSERT_TRUE(bay.simulator.LoadDisc(u'D', Pressed()));
        c.check(u'D');
    }
}

// --- recording the album ----------------------------------------------------

class AlbumRecording : public AlbumTest {
  protected:
    Bay bay{BaySpec()
                .Drive('F', "dvd-rw-dl-recorder")
                .Drive('E', "cd-rw-recorder")
                .Fault('F', "short-tracks-refused")};
    Simulator& sim = bay.simulator;

    void Prepare(char16_t letter) {
        ASSERT_TRUE(sim.LoadDisc(letter, sim.MakeBlank(0x0009)));
        ASSERT_TRUE(SetWriteParameters(letter, disc::CdR));
    }
    // The album recorded from `sheet` on a blank in `letter`.
    void Record(char16_t letter, const std::vector<uint8_t>& sheet) {
        Prepare(letter);
        ASSERT_TRUE(SendCueSheet(letter, sheet).ok());
        std::vector<uint8_t> sectors = AlbumSectors(file);
        sectors.insert(sectors.begin(), size_t{150} * kRawSectorSize, 0);  // LBA -150..-1
        for (int32_t lba = -150; lba < kAlbumLeadOut; lba += 25) {
            const uint32_t n = static_cast<uint32_t>(std::min(25, kAlbumLeadOut - lba));
            std::span<const uint8_t> chunk(sectors.data() + size_t(lba + 150) * kRawSectorSize,
                                           size_t{n} * kRawSectorSize);
            ASSERT_TRUE(SendWrite10(letter, lba, static_cast<uint16_t>(n), chunk).ok()) << lba;
        }
        ASSERT_TRUE(SendSynchronizeCache(letter).ok());
    }
};

TEST_F(AlbumRecording, CopyCarriesTheCueSheetsMetadata) {
    ASSERT_NO_FATAL_FAILURE(Record(u'F', AlbumCueSheet()));
    ExpectSectors(u'F');
    Toc toc = ReadToc(u'F');
    ASSERT_EQ(toc.entries.size(), 5u);
    EXPECT_EQ(toc.entries[1].control, kControlPreEmphasis);
    EXPECT_EQ(toc.entries[3].control, kControlCopyPermitted);
    ASSERT_TRUE(sim.OpenTray(u'F'));
    std::unique_ptr<Disc> copy = sim.RemoveDisc(u'F');
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->metadata, AlbumMetadata(false));
}

TEST_F(AlbumRecording, CopyAnswersWithTheSubChannelsTheCueSheetGave) {
    ASSERT_NO_FATAL_FAILURE(Record(u'F', AlbumCueSheet()));
    ASSERT_TRUE(sim.LoadDisc(u'E', Pressed()));
    const SectorQ copy = ReadAlbumQ(u'F', SubChannelSelection::FormattedQ);
    ExpectAlbumQ(copy.q);
    EXPECT_TRUE(copy.q == ReadAlbumQ(u'E', SubChannelSelection::FormattedQ).q);
    EXPECT_TRUE(ReadAlbumQ(u'F', SubChannelSelection::RawPW).q == copy.q);
    ExpectAlbumCodeReplies(u'F', true);
    // No CD-Text went into the lead-in: the header alone.
    std::vector<uint8_t> header(kCdTextHeaderLength, 0xEE);
    ASSERT_TRUE(SendReadTocCdText(u'F', header).ok());
    EXPECT_EQ(header, (std::vector<uint8_t>{0x00, 0x02, 0x00, 0x00}));
    EXPECT_TRUE(ReadCdText(u'F').packs.empty());
}

TEST_F(AlbumRecording, CopyWithoutCatalogNumberCarriesNone) {
    std::vector<uint8_t> sheet = AlbumCueSheet();
    sheet.erase(sheet.begin(), sheet.begin() + 16);  // the two MCN entries
    ASSERT_NO_FATAL_FAILURE(Record(u'F', sheet));
    ExpectAlbumQ(ReadAlbumQ(u'F', SubChannelSelection::RawPW).q, false);
    ExpectAlbumCodeReplies(u'F', false);
}

TEST_F(AlbumRecording, CueSheetsBreakingTheRulesAreRefused) {
    Prepare(u'F');
    const std::vector<uint8_t> album = AlbumCueSheet();
    auto changed = [&](std::initializer_list<std::pair<size_t, uint8_t>> bytes) {
        std::vector<uint8_t> s = album;
        for (auto [at, value] : bytes)
            s[at] = value;
        return s;
    };
    auto without = [&](size_t entry, size_t entries) {
        std::vector<uint8_t> s = album;
        s.erase(s.begin() + entry * 8, s.begin() + (entry + entries) * 8);
        return s;
    };
    auto moved = [&](size_t entry, size_t to) {  // one entry taken out and put back at `to`
        std::vector<uint8_t> s = without(entry, 1);
        s.insert(s.begin() + to * 8, album.begin() + entry * 8, album.begin() + entry * 8 + 8);
        return s;
    };
    struct Case {
        const char* why;
        std::vector<uint8_t> sheet;
    };
    for (const Case& c : {
             Case{"MCN with a letter", changed({{3, 'A'}})},
             Case{"MCN without its closing zero", changed({{15, '1'}})},
             Case{"MCN with CTL", changed({{0, 0x12}, {8, 0x12}})},
             Case{"one MCN entry", without(1, 1)},
             Case{"MCN after the lead-in", moved(2, 0)},
             Case{"ISRC with a lower-case letter", changed({{26, 'u'}})},
             Case{"ISRC with a letter among the digits", changed({{37, 'X'}})},
             Case{"ISRC entries for another track", changed({{25, 2}, {33, 2}})},
             Case{"ISRC with another CTL than its track", changed({{24, 0x13}, {32, 0x13}})},
             Case{"ISRC entries with CTLs of their own", changed({{32, 0x13}})},
             Case{"one ISRC entry", without(4, 1)},
             Case{"ISRC inside the track", moved(13, 11)},
             Case{"ISRC for the lead-in", changed({{25, 0}, {33, 0}})},
             Case{"ADR 4", changed({{48, 0x04}})},
             Case{"SCMS 40h", changed({{44, 0x40}})},
             Case{"lead-in with a track number", changed({{17, 1}})},
             Case{"lead-in entry with ADR 2", changed({{16, 0x02}})},
             Case{"track numbers skipping 4", changed({{121, 5}, {129, 5}})},
             Case{"index 2 skipped", changed({{114, 3}})},
             Case{"track 4 without index 1", without(16, 1)},
             Case{"track 2 starting at index 2", changed({{74, 2}})},
             Case{"time going back", changed({{126, 0x2F}, {127, 0x18}})},
             Case{"lead-out not AAh", changed({{137, 0x05}})},
             Case{"lead-out index 2", changed({{138, 0x02}})},
             Case{"size not a multiple of 8", std::vector<uint8_t>(album.begin(), album.end() - 1)},
         }) {
        const ScsiResult r = SendCueSheet(u'F', c.sheet);
        const uint8_t asc = c.sheet.size() % 8 ? 0x1A : 0x26;
        EXPECT_TRUE(Sensed(r, 5, asc, 0)) << c.why;
    }
    EXPECT_FALSE(sim.Drive(u'F')->State().cueSheetAccepted);
    // Data form 41h (CD-Text in the lead-in): only for a drive recording R-W.
    const std::vector<uint8_t> cdText = changed({{19, 0x41}});
    EXPECT_TRUE(SendCueSheet(u'F', cdText).ok());
    Prepare(u'E');
    EXPECT_TRUE(Sensed(SendCueSheet(u'E', cdText), 5, 0x26, 0));
    EXPECT_TRUE(Sensed(SendCueSheet(u'E', changed({{19, 0x42}})), 5, 0x26, 0));
    EXPECT_TRUE(SendCueSheet(u'E', album).ok());
}

// --- CD-Text in the lead-in --------------------------------------------------

// READ TOC format 0100b (ATIP), 28 bytes asked for.
ScsiResult ReadAtip(char16_t letter, std::vector<uint8_t>& reply) {
    reply.assign(28, 0xEE);
    return SendReadTocAtip(letter, reply);
}

TEST(Atip, RecordableCdsGiveWhereTheirLeadInStarts) {
    Bay bay(BaySpec()
                .Model("early-lead-in", "profiles = CD-R, CD-ROM\nlead-in-start = 95:00:00")
                .Drive('D', "early-lead-in")
                .Drive('F', "dvd-rw-dl-recorder"));
    struct Case {
        char16_t drive;
        uint16_t profile;
        uint8_t discType, leadInMinute, leadInSecond, leadInFrame;  // minute 0: 5/24/00
    };
    for (const Case& c : {Case{u'F', 0x0009, 0x80, 97, 26, 65},
                          Case{u'F', 0x000A, 0xC0, 97, 26, 65}, Case{u'D', 0x0009, 0x80, 95, 0, 0},
                          Case{u'F', 0x0008, 0, 0, 0, 0}, Case{u'F', 0x0011, 0, 0, 0, 0}}) {
        SCOPED_TRACE("profile " + std::to_string(c.profile));
        ASSERT_TRUE(bay.simulator.LoadDisc(c.drive, bay.simulator.MakeBlank(c.profile)));
        std::vector<uint8_t> reply, want(28, 0);
        const ScsiResult r = ReadAtip(c.drive, reply);
        if (c.leadInMinute == 0) {
            EXPECT_TRUE(Sensed(r, 5, 0x24, 0));
            continue;
        }
        // Data length 26; the last possible lead-out: the capacity, 79:59:74.
        const std::vector<uint8_t> head = {
            0, 26, 0,  0, 0x80, 0, c.discType, 0, c.leadInMinute, c.leadInSecond, c.leadInFrame,
            0, 79, 59, 74};
        std::copy(head.begin(), head.end(), want.begin());
        EXPECT_EQ(reply, want);
    }
}

// A writer's lead-in: two language blocks of packs, repeated over all of it.
std::vector<CdTextPack> LeadInPacks() {
    CdTextBlock english;
    english.lastTrack = 4;
    english.texts[cdtext::Title] = {"Sea of Glass", "Hidden", "", "Third"};
    english.texts[cdtext::Performer] = {"The Simulated"};
    english.texts[cdtext::Songwriter] = {"", "", "", "Someone"};
    CdTextBlock german = english;
    german.language = cdtext::German;
    german.texts = {{cdtext::Title, {"Glasmeer"}}};
    const std::vector<CdTextBlock> blocks = {english, german};
    return BuildCdTextPacks(blocks).packs;
}

TEST_F(AlbumRecording, LeadInCdTextIsWrittenInOrderAndKeptByTheCopy) {
    Prepare(u'F');
    std::vector<uint8_t> atip;
    ASSERT_TRUE(ReadAtip(u'F', atip).ok());
    const int32_t start = (atip[8] * 60 + atip[9]) * 75 + atip[10] - 450150;
    ASSERT_EQ(start, -11635);
    // The lead-in (and a few blocks past it, for the write that runs over),
    // one byte of the first pack damaged; the program area from LBA -150.
    const std::vector<CdTextPack> packs = LeadInPacks();
    std::vector<uint8_t> leadIn(size_t{CdTextLeadInBlocks(start) + 8} * kLeadInBlockBytes);
    FillCdTextLeadIn(packs, 0, leadIn);
    leadIn[5] ^= 0x01;
    std::vector<uint8_t> program = AlbumSectors(file);
    program.insert(program.begin(), size_t{150} * kRawSectorSize, 0);

    using Sense3 = std::array<uint8_t, 3>;
    struct Write {
        int32_t lba, blocks;
        Sense3 sense{};  // 0/0/0: taken
    };
    // Taken writes of `per` blocks from `from` up to `to`, then `last`.
    auto writes = [](int32_t from, int32_t to, int32_t per, std::vector<Write> last) {
        std::vector<Write> out;
        for (int32_t lba = from; lba < to; lba += per)
            out.push_back({lba, std::min(per, to - lba)});
        out.insert(out.end(), last.begin(), last.end());
        return out;
    };
    struct Case {
        const char* why;
        uint8_t leadInForm;
        std::vector<Write> writes;
    };
    for (const Case& c : {
             Case{"the whole lead-in, then the program", 0x41,
                  writes(start, -150, 997, writes(-150, kAlbumLeadOut, 25, {}))},
             Case{"a write across LBA -150", 0x41,
                  writes(start, -152, 500, {{-152, 4, {5, 0x24, 0}}})},
             Case{"a block skipped", 0x41,
                  writes(start, start + 500, 500, {{start + 501, 10, {5, 0x2C, 0}}})},
             Case{"LBA -150 before the lead-in is whole", 0x41,
                  writes(start, -200, 500, {{-150, 10, {5, 0x2C, 0}}})},
             Case{"the lead-in without data form 41h", 0x01, {{start, 10, {5, 0x21, 0}}}},
         }) {
        SCOPED_TRACE(c.why);
        Prepare(u'F');
        std::vector<uint8_t> sheet = AlbumCueSheet();
        sheet[19] = c.leadInForm;
        ASSERT_TRUE(SendCueSheet(u'F', sheet).ok());
        for (const Write& w : c.writes) {
            const bool lead = w.lba < -150;
            const size_t size = lead ? kLeadInBlockBytes : kRawSectorSize;
            const std::span<const uint8_t> data =
                std::span<const uint8_t>(lead ? leadIn : program)
                    .subspan(size_t(w.lba - (lead ? start : -150)) * size, size_t(w.blocks) * size);
            const ScsiResult r = SendWrite10(u'F', w.lba, static_cast<uint16_t>(w.blocks), data);
            if (w.sense == Sense3{})
                ASSERT_TRUE(r.ok()) << "LBA " << w.lba;
            else
                EXPECT_TRUE(Sensed(r, w.sense[0], w.sense[1], w.sense[2])) << "LBA " << w.lba;
        }
        if (c.writes.back().sense != Sense3{})
            continue;
        // The copy, read in another drive: each pack once, byte for byte,
        // and the first block's texts.
        ASSERT_TRUE(SendSynchronizeCache(u'F').ok());
        ASSERT_TRUE(sim.OpenTray(u'F'));
        ASSERT_TRUE(sim.LoadDisc(u'E', sim.RemoveDisc(u'F')));
        EXPECT_EQ(ReadCdText(u'E').packs, packs);
        DiscMetadata want = AlbumMetadata(false);
        want.text = CdTexts{"Sea of Glass", "The Simulated", ""};
        want.tracks[0].text.title = "Hidden";
        want.tracks[2].text = CdTexts{"Third", "", "Someone"};
        want.cdTextPacks = packs;
        EXPECT_EQ(sim.Drive(u'E')->WithDisc([](Disc* d) { return d->metadata; }), want);
    }
}

TEST_F(AlbumRecording, ShortTracksPassWhereTheDriveAllowsThem) {
    // Track 1 of 4 s less one block: refused by the drive that wants 4 s,
    // taken by the one that does not.
    std::vector<uint8_t> sheet = AlbumCueSheet();
    sheet[54] = 0x21;  // T1 INDEX 01 00:33:01: 299 blocks before track 2's pre-gap
    sheet[55] = 0x01;
    Prepare(u'F');
    EXPECT_TRUE(Sensed(SendCueSheet(u'F', sheet), 5, 0x26, 0));
    Prepare(u'E');
    EXPECT_TRUE(SendCueSheet(u'E', sheet).ok());
}

TEST(DriveModels, RecordLeadInRwAsTheirFeatureSays) {
    for (const char* name : {"cd-rw-recorder", "dvd-rw-dl-recorder", "bd-re-recorder",
                             "hd-dvd-drive", "cd-rom-reader"}) {
        Bay bay(BaySpec().Drive('E', name));
        const DriveModel& m = bay.simulator.Drive(u'E')->model();
        bool rw = false;
        for (const FeatureDescriptor& f : m.features) {
            if (f.code == 0x002E && !f.data.empty())
                rw = f.data[0] & 0x01;
        }
        EXPECT_EQ(m.recordsLeadInRw, rw) << name;
    }
}

}  // namespace
}  // namespace vestrel::sim::testing
