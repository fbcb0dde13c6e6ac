// What an audio CD carries besides its samples: cue sheet keywords for
// pressed discs, the TOC's CONTROL bits, hidden audio and pre-gaps read with
// READ CD, the recorder's cue sheet rules, and a recorded copy that carries
// the same indexes, flags, ISRCs and catalogue number as the sheet sent.
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
};

TEST_F(AlbumRecording, CopyCarriesTheCueSheetsMetadata) {
    Prepare(u'F');
    ASSERT_TRUE(SendCueSheet(u'F', AlbumCueSheet()).ok());
    std::vector<uint8_t> sectors = AlbumSectors(file);
    sectors.insert(sectors.begin(), size_t{150} * kRawSectorSize, 0);  // LBA -150..-1
    for (int32_t lba = -150; lba < kAlbumLeadOut; lba += 25) {
        const uint32_t n = static_cast<uint32_t>(std::min(25, kAlbumLeadOut - lba));
        std::span<const uint8_t> chunk(sectors.data() + size_t(lba + 150) * kRawSectorSize,
                                       size_t{n} * kRawSectorSize);
        ASSERT_TRUE(SendWrite10(u'F', lba, static_cast<uint16_t>(n), chunk).ok()) << lba;
    }
    ASSERT_TRUE(SendSynchronizeCache(u'F').ok());
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
