// Copies recorded through the simulator with the system's own recipe and
// read back through the system's own commands, byte for byte; and the ways
// a drive refuses a recording that breaks the medium's rules.
#include <cstdlib>

#include "tests/simulator/sim_fixture.h"
#include "tests/support/scripted_transport.h"

namespace vestrel::sim::testing {
namespace {

// A reader and a recorder of each family that records.
BaySpec Recorders() {
    return BaySpec()
        .Drive('D', "dvd-rom-reader")
        .Drive('F', "dvd-rw-dl-recorder")
        .Drive('G', "bd-re-recorder")
        .Drive('H', "hd-dvd-drive");
}

class RecordingTest : public ::testing::Test {
  protected:
    Bay bay{Recorders()};
    Simulator& sim = bay.simulator;

    void LoadBlank(char16_t letter, uint16_t profile) {
        ASSERT_TRUE(sim.LoadDisc(letter, sim.MakeBlank(profile)));
    }
    // Takes the disc out of one drive and puts it into another.
    void Move(char16_t from, char16_t to) {
        ASSERT_TRUE(sim.OpenTray(from));
        std::unique_ptr<Disc> disc = sim.RemoveDisc(from);
        ASSERT_TRUE(disc);
        ASSERT_TRUE(sim.LoadDisc(to, std::move(disc)));
    }
    // Records `tracks` on a blank of `profile` in `letter` and reads the copy
    // back there: it must hold `expected`.
    void RecordAndReadBack(char16_t letter, uint16_t profile, DiscType type,
                           const std::vector<SourceTrack>& tracks,
                           const std::vector<SourceTrack>& expected) {
        LoadBlank(letter, profile);
        RecordCopy(letter, tracks, type);
        ExpectSame(ReadBack(letter), expected);
    }
    void ExpectSame(const std::vector<SourceTrack>& a, const std::vector<SourceTrack>& b) {
        ASSERT_EQ(a.size(), b.size());
        for (size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].data, b[i].data) << "track " << i + 1;
            EXPECT_TRUE(a[i].bytes == b[i].bytes) << "track " << i + 1 << " differs";
        }
    }
};

TEST_F(RecordingTest, DataCdIsReadBackIdenticallyByRecorderAndReader) {
    std::vector<SourceTrack> source{{true, PatternBytes(301 * 2048, 1)}};
    RecordAndReadBack(u'F', 0x0009, disc::CdR, source, source);

    Move(u'F', u'D');
    ExpectSame(ReadBack(u'D'), source);
    // A finished CD-R is not empty and cannot be erased.
    std::vector<uint8_t> info(kDiscInformationLength);
    ASSERT_TRUE(SendReadDiscInformation(u'D', info).ok());
    EXPECT_EQ(info[2] & 0x13, 0x02);
    EXPECT_TRUE(Sensed(SendBlank(u'D'), 5, 0x30, 0x05));
}

// Pressed CDs' cue sheets: keywords in any case, errors naming the line,
// and layouts that stay within a CD with each track among its own sectors.
TEST(CueSheets, AreReadLineByLineAndLaidOutWithinACd) {
    const std::string twoTracks =
        "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:02:00\n"
        "TRACK 02 AUDIO\nINDEX 00 ";
    struct Case {
        std::string text;
        uint64_t binBytes;
        const char* error;  // empty: laid out
    };
    for (const Case& c : {
             Case{"file \"FILE.bin\" binary\r\n  track 01 MODE1/2048\r\n index 01 00:00:00\r\n",
                  16 * 2048, ""},
             Case{"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nPOSTGAP 00:02:00\n", 0, "3: POSTGAP"},
             Case{twoTracks + "00:03:00\nINDEX 01 00:04:00\n", 400 * 2352, ""},
             Case{twoTracks + "00:01:00\nINDEX 01 00:04:00\n", 400 * 2352, "out of order"},
             Case{twoTracks + "00:03:00\nINDEX 01 00:04:00\n", UINT64_MAX, "more than a CD"},
         }) {
        ParsedCue sheet;
        CueLayout layout;
        std::string error;
        const bool ok =
            ParseCueSheet(c.text, sheet, error) && LayOutCueSheet(sheet, c.binBytes, layout, error);
        EXPECT_EQ(ok, !*c.error) << c.text << " gave: " << error;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << " gave: " << error;
    }
    ParsedCue sheet;
    std::string error;
    ASSERT_TRUE(ParseCueSheet("file \"FILE.bin\" binary\ntrack 01 AUDIO\nindex 01 00:00:00\n",
                              sheet, error));
    EXPECT_EQ(sheet.binary, "FILE.bin");
}

TEST_F(RecordingTest, AudioCdCopiedFromAPressedCdMatchesItsSource) {
    TempFolder folder;
    std::vector<SourceTrack> source{{false, PatternBytes(200 * 2352, 2)},
                                    {false, PatternBytes(150 * 2352, 3)}};
    std::string error;
    auto pressed = Disc::FromCue(WriteCueBin(folder.path(), "album", source), error);
    ASSERT_TRUE(pressed) << error;
    ASSERT_TRUE(sim.LoadDisc(u'D', std::move(pressed)));
    std::vector<SourceTrack> read = ReadBack(u'D');
    ExpectSame(read, source);
    Toc toc = ReadToc(u'D');
    ASSERT_EQ(toc.entries.size(), 3u);
    EXPECT_EQ(toc.entries[0].control, 0);
    EXPECT_EQ(toc.entries[1].address, 200u);
    EXPECT_EQ(toc.entries[2].trackNumber, 0xAA);
    EXPECT_EQ(toc.entries[2].address, 350u);

    RecordAndReadBack(u'F', 0x000A, disc::CdRw, read, source);
}

TEST_F(RecordingTest, MixedModeCdKeepsEachTracksKind) {
    std::vector<SourceTrack> source{{true, PatternBytes(180 * 2048, 4)},
                                    {false, PatternBytes(90 * 2352, 5)}};
    RecordAndReadBack(u'G', 0x0009, disc::CdR, source, source);
    std::vector<uint8_t> msf(kTocLength);
    ASSERT_TRUE(SendReadToc(u'G', true, msf).ok());
    Toc toc = ReadTocReply(ByteReader(msf.data(), msf.size()));
    ASSERT_EQ(toc.entries.size(), 3u);
    EXPECT_EQ(toc.entries[0].control, 4);
    EXPECT_EQ(toc.entries[0].address, 0x000200u);  // 00:02:00
    EXPECT_EQ(toc.entries[1].address, 0x00041Eu);  // LBA 180 is 00:04:30
    // READ (10) of an audio block is refused as a drive refuses it.
    std::vector<uint8_t> block(2048);
    EXPECT_TRUE(Sensed(SendRead10(u'G', 200, 1, block), 5, 0x64, 0));
}

TEST_F(RecordingTest, DvdPlusRIsReadableElsewhereOnlyAfterClosing) {
    std::vector<SourceTrack> source{{true, PatternBytes(480 * 2048, 6)}};
    RecordAndReadBack(u'F', 0x001B, disc::DvdPlusR, source, source);

    Move(u'F', u'D');
    std::vector<uint8_t> toc(kTocLength);
    EXPECT_TRUE(Sensed(SendReadToc(u'D', false, toc), 5, 0x30, 0x02));

    Move(u'D', u'F');
    ASSERT_TRUE(Close(u'F', 2).ok());
    Move(u'F', u'D');
    ExpectSame(ReadBack(u'D'), source);
}

TEST_F(RecordingTest, DvdMinusRInDiscAtOnceEndsTheDiscItself) {
    std::vector<SourceTrack> source{{true, PatternBytes(320 * 2048, 7)},
                                    {true, PatternBytes(160 * 2048, 8)}};
    LoadBlank(u'F', 0x0011);
    RecordCopy(u'F', source, disc::DvdR);
    Move(u'F', u'D');
    ExpectSame(ReadBack(u'D'), source);
    std::vector<uint8_t> info(kDiscInformationLength);
    ASSERT_TRUE(SendReadDiscInformation(u'D', info).ok());
    EXPECT_EQ(info[2] & 0x03, 2);  // complete
    EXPECT_TRUE(Sensed(SendReserveTrack(u'F', 16), 2, 0x3A, 0x02));
}

TEST_F(RecordingTest, BdRCopyAfterClosing) {
    std::vector<SourceTrack> source{{true, PatternBytes(512 * 2048, 9)}};
    LoadBlank(u'G', 0x0041);
    RecordCopy(u'G', source, disc::BdR);
    ASSERT_TRUE(Close(u'G', 2).ok());
    ExpectSame(ReadBack(u'G'), source);
    // The DVD-ROM reader has no use for a BD.
    Move(u'G', u'D');
    EXPECT_TRUE(Sensed(SendTestUnitReady(u'D'), 2, 0x30, 0));
}

TEST_F(RecordingTest, ExportedIsoListsTheSourceFiles) {
    if (std::system("command -v genisoimage >/dev/null && command -v isoinfo >/dev/null") != 0)
        GTEST_SKIP() << "genisoimage and isoinfo are needed";
    TempFolder folder;
    fs::create_directories(folder / "tree");
    WriteFile(folder / "tree" / "ALPHA.TXT", PatternBytes(5000, 10));
    WriteFile(folder / "tree" / "BETA.BIN", PatternBytes(70000, 11));
    std::string make = "genisoimage -quiet -V COPYTEST -o '" + (folder / "source.iso").string() +
                       "' '" + (folder / "tree").string() + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    std::string error;
    auto pressed = Disc::FromIso(folder / "source.iso", 0x0010, error);
    ASSERT_TRUE(pressed) << error;
    ASSERT_TRUE(sim.LoadDisc(u'D', std::move(pressed)));
    std::u16string label;
    EXPECT_TRUE(sim.VolumeLabel(u'D', label));
    EXPECT_EQ(label, u"COPYTEST");

    std::vector<SourceTrack> read = ReadBack(u'D');
    ASSERT_EQ(read.size(), 1u);
    read[0].bytes.resize((read[0].blocks() + 15) / 16 * 16 * 2048, 0);  // a whole ECC block
    LoadBlank(u'F', 0x0011);
    RecordCopy(u'F', read, disc::DvdR);
    ASSERT_TRUE(sim.OpenTray(u'F'));
    std::unique_ptr<Disc> copy = sim.RemoveDisc(u'F');
    ASSERT_TRUE(copy->ExportIso(folder / "copy.iso", error)) << error;

    std::string list = "isoinfo -l -i '" + (folder / "copy.iso").string() + "' > '" +
                       (folder / "list.txt").string() + "'";
    ASSERT_EQ(std::system(list.c_str()), 0);
    std::vector<uint8_t> text = ReadFile(folder / "list.txt");
    std::string listing(text.begin(), text.end());
    EXPECT_NE(listing.find("ALPHA.TXT"), std::string::npos) << listing;
    EXPECT_NE(listing.find("BETA.BIN"), std::string::npos) << listing;
    std::vector<uint8_t> original = ReadFile(folder / "source.iso");
    std::vector<uint8_t> exported = ReadFile(folder / "copy.iso");
    ASSERT_GE(exported.size(), original.size());
    EXPECT_TRUE(std::equal(original.begin(), original.end(), exported.begin()));
}

TEST_F(RecordingTest, ExportedAudioCueBinSplitsIntoTheSourceTracks) {
    if (std::system("command -v bchunk >/dev/null") != 0)
        GTEST_SKIP() << "bchunk is needed";
    TempFolder folder;
    std::vector<SourceTrack> source{{false, PatternBytes(120 * 2352, 12)},
                                    {false, PatternBytes(75 * 2352, 13)},
                                    {false, PatternBytes(33 * 2352, 14)}};
    LoadBlank(u'F', 0x0009);
    RecordCopy(u'F', source, disc::CdR);
    ASSERT_TRUE(sim.OpenTray(u'F'));
    std::unique_ptr<Disc> copy = sim.RemoveDisc(u'F');
    std::string error;
    ASSERT_TRUE(copy->ExportCueBin(folder / "copy.cue", folder / "copy.bin", error)) << error;
    std::string split =
        "cd '" + folder.path().string() + "' && bchunk copy.bin copy.cue track > /dev/null";
    ASSERT_EQ(std::system(split.c_str()), 0);
    for (size_t i = 0; i < source.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "track%02zu.cdr", i + 1);
        EXPECT_TRUE(ReadFile(folder / name) == source[i].bytes) << name;
    }
}

// --- refusals ------------------------------------------------------------

class CueSheetRules : public RecordingTest {
  protected:
    void SetUp() override {
        LoadBlank(u'F', 0x0009);
        ASSERT_TRUE(SetWriteParameters(u'F', disc::CdR));
        std::vector<WriterTrack> tracks(2);
        tracks[0] = {true, 300 * 2048, 0, 300, {}};
        tracks[1] = {false, 200 * 2352, 300, 200, {}};
        sheet = BuildCueSheet(tracks);
    }
    ScsiResult Send(const std::vector<uint8_t>& s) { return SendCueSheet(u'F', s); }
    CueSheet sheet;
};

TEST_F(CueSheetRules, MalformedSheetsAreRefusedAndAGoodOneAccepted) {
    auto mutated = [&](size_t at, uint8_t value) {
        std::vector<uint8_t> s = sheet;
        s[at] = value;
        return s;
    };
    std::vector<uint8_t> cut(sheet.begin(), sheet.end() - 3);
    EXPECT_TRUE(Sensed(Send(cut), 5, 0x1A, 0));
    EXPECT_TRUE(Sensed(Send(mutated(1, 1)), 5, 0x26, 0)) << "no lead-in";
    EXPECT_TRUE(Sensed(Send(mutated(15, 1)), 5, 0x26, 0)) << "pre-gap not at 00:00:00";
    EXPECT_TRUE(Sensed(Send(mutated(17, 2)), 5, 0x26, 0)) << "track 1 missing";
    EXPECT_TRUE(Sensed(Send(mutated(25, 3)), 5, 0x26, 0)) << "track numbers skip";
    EXPECT_TRUE(Sensed(Send(mutated(27, 0x10)), 5, 0x26, 0)) << "audio CTL with a data form";
    EXPECT_TRUE(Sensed(Send(mutated(31, 75)), 5, 0x26, 0)) << "frame 75";
    EXPECT_TRUE(Sensed(Send(mutated(30, 1)), 5, 0x26, 0)) << "times going back";
    EXPECT_TRUE(Sensed(Send(mutated(33, 0x02)), 5, 0x26, 0)) << "no lead-out";
    EXPECT_TRUE(Sensed(Send(mutated(37, 90)), 5, 0x26, 0)) << "longer than the disc";
    EXPECT_FALSE(sim.Drive(u'F')->State().cueSheetAccepted);
    EXPECT_TRUE(Send(sheet).ok());
    EXPECT_TRUE(sim.Drive(u'F')->State().cueSheetAccepted);
}

TEST_F(CueSheetRules, WritesMustStartAtTheLeadInAndFollowInOrder) {
    std::vector<uint8_t> zeros(10 * 2048, 0);
    EXPECT_TRUE(Sensed(SendWrite10(u'F', -150, 10, zeros), 5, 0x2C, 0)) << "no cue sheet yet";
    ASSERT_TRUE(Send(sheet).ok());
    EXPECT_TRUE(Sensed(SendWrite10(u'F', 0, 10, zeros), 5, 0x21, 0x02));
    EXPECT_TRUE(SendWrite10(u'F', -150, 10, zeros).ok());
    EXPECT_TRUE(Sensed(SendWrite10(u'F', -130, 10, zeros), 5, 0x21, 0x02));
    EXPECT_TRUE(SendWrite10(u'F', -140, 10, zeros).ok());
}

TEST_F(CueSheetRules, TheWriteTypeMustBeSessionAtOnce) {
    std::vector<uint8_t> page(kWriteParametersPageLength);
    ASSERT_TRUE(SendModeSenseWriteParameters(u'F', page).ok());
    page[8 + 2] = 0x01;  // track at once
    ASSERT_TRUE(SendModeSelect10(u'F', page).ok());
    EXPECT_TRUE(Sensed(Send(sheet), 5, 0x2C, 0));
    page[8 + 2] = 0x07;  // no such write type
    EXPECT_TRUE(Sensed(SendModeSelect10(u'F', page), 5, 0x26, 0));
}

TEST_F(RecordingTest, SequentialDvdNeedsReservationsAndOrder) {
    LoadBlank(u'F', 0x001B);
    std::vector<uint8_t> block(32 * 2048, 0x5A);
    EXPECT_TRUE(Sensed(SendWrite10(u'F', 0, 16, block), 5, 0x2C, 0)) << "no reservation";
    EXPECT_TRUE(Sensed(SendCueSheet(u'F', std::vector<uint8_t>(32, 0)), 5, 0x30, 0x05));
    ASSERT_TRUE(SendReserveTrack(u'F', 32).ok());
    EXPECT_TRUE(Sensed(SendWrite10(u'F', 16, 16, block), 5, 0x21, 0x02)) << "not at the NWA";
    EXPECT_TRUE(SendWrite10(u'F', 0, 16, block).ok());
    EXPECT_TRUE(Sensed(SendWrite10(u'F', 16, 32, block), 5, 0x21, 0x02)) << "past the track";
    EXPECT_TRUE(Sensed(SendReserveTrack(u'F', 2295104), 5, 0x24, 0)) << "more than fits";
    EXPECT_TRUE(Sensed(SendBlank(u'F'), 5, 0x30, 0x05)) << "DVD+R cannot be blanked";
}

TEST_F(RecordingTest, DvdMinusRHonoursTheDataBlockType) {
    LoadBlank(u'F', 0x0011);
    std::vector<uint8_t> page(kWriteParametersPageLength);
    ASSERT_TRUE(SendModeSenseWriteParameters(u'F', page).ok());
    page[8 + 2] = 0x02;
    page[8 + 4] = 0x00;  // raw 2352-byte blocks make no sense on a DVD
    ASSERT_TRUE(SendModeSelect10(u'F', page).ok());
    ASSERT_TRUE(SendReserveTrack(u'F', 16).ok());
    std::vector<uint8_t> block(16 * 2048, 1);
    EXPECT_TRUE(Sensed(SendWrite10(u'F', 0, 16, block), 5, 0x64, 0));
    ASSERT_TRUE(SetWriteParameters(u'F', disc::DvdR));
    EXPECT_TRUE(SendWrite10(u'F', 0, 16, block).ok());
}

TEST(CommandBlocks, FormatCloseAndFormatCapacities) {
    auto bytes = [](const CommandBlock& b) {
        return std::vector<uint8_t>(b.cdb.begin(), b.cdb.begin() + b.length);
    };
    EXPECT_EQ(bytes(FormatUnitCdb()), (std::vector<uint8_t>{0x04, 0x11, 0, 0, 0, 0}));
    EXPECT_EQ(FormatUnitCdb().direction, DataDirection::ToDevice);
    EXPECT_EQ(bytes(CloseTrackSessionCdb(2, 0)),
              (std::vector<uint8_t>{0x5B, 0, 0x02, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(bytes(CloseTrackSessionCdb(1, 0x0102)),
              (std::vector<uint8_t>{0x5B, 0, 0x01, 0, 0x01, 0x02, 0, 0, 0, 0}));
    EXPECT_EQ(bytes(ReadFormatCapacitiesCdb()),
              (std::vector<uint8_t>{0x23, 0, 0, 0, 0, 0, 0, 0, 0xFC, 0}));
}

TEST_F(RecordingTest, OverwritableMediaAreFormattedAndWrittenAnywhere) {
    LoadBlank(u'G', 0x0043);
    EXPECT_TRUE(Sensed(SendReserveTrack(u'G', 32), 5, 0x30, 0x05));
    std::vector<uint8_t> block(32 * 2048, 0x77);
    EXPECT_TRUE(Sensed(SendWrite10(u'G', 0, 32, block), 5, 0x30, 0x10)) << "not formatted";
    EXPECT_TRUE(Sensed(SendBlank(u'G'), 5, 0x30, 0x05));

    std::vector<uint8_t> capacities(kFormatCapacitiesLength);
    ASSERT_TRUE(SendCommandBlock(u'G', ReadFormatCapacitiesCdb(), capacities).ok());
    EXPECT_EQ(capacities[8] & 3, 1);  // unformatted
    auto parameters = FormatUnitParameters(0, 0x00, 0, 2048, false);
    ASSERT_TRUE(SendCommandBlock(u'G', FormatUnitCdb(), parameters).ok());
    ASSERT_TRUE(SendCommandBlock(u'G', ReadFormatCapacitiesCdb(), capacities).ok());
    EXPECT_EQ(capacities[8] & 3, 2);  // formatted

    EXPECT_TRUE(SendWrite10(u'G', 5000, 32, block).ok());
    EXPECT_TRUE(SendWrite10(u'G', 64, 32, block).ok());
    EXPECT_TRUE(Sensed(SendWrite10(u'G', 11826176 - 16, 32, block), 5, 0x21, 0));
    ASSERT_TRUE(SendSynchronizeCache(u'G').ok());
    std::vector<uint8_t> back(32 * 2048);
    ASSERT_TRUE(SendRead10(u'G', 5000, 32, back).ok());
    EXPECT_TRUE(back == block);
    ASSERT_TRUE(SendRead10(u'G', 0, 32, back).ok());
    EXPECT_EQ(std::count(back.begin(), back.end(), 0), static_cast<long>(back.size()));
}

TEST_F(RecordingTest, ErasableDiscsAreBlankedAndPressedOnesAreNotWritten) {
    std::vector<SourceTrack> source{{true, PatternBytes(50 * 2048, 15)}};
    LoadBlank(u'F', 0x000A);
    RecordCopy(u'F', source, disc::CdRw);
    std::vector<uint8_t> info(kDiscInformationLength);
    ASSERT_TRUE(SendReadDiscInformation(u'F', info).ok());
    EXPECT_EQ(info[2] & 0x13, 0x12);  // complete, erasable
    ASSERT_TRUE(SendBlank(u'F').ok());
    ASSERT_TRUE(SendReadDiscInformation(u'F', info).ok());
    EXPECT_EQ(info[2] & 0x03, 0);
    RecordCopy(u'F', source, disc::CdRw);  // and it takes a new copy
    ExpectSame(ReadBack(u'F'), source);

    TempFolder folder;
    WriteFile(folder / "pressed.iso", PatternBytes(40 * 2048, 16));
    std::string error;
    ASSERT_TRUE(sim.LoadDisc(u'F', Disc::FromIso(folder / "pressed.iso", 0x0010, error)));
    std::vector<uint8_t> block(2048);
    EXPECT_TRUE(Sensed(SendWrite10(u'F', 0, 1, block), 5, 0x30, 0x05));
    EXPECT_TRUE(Sensed(SendBlank(u'F'), 5, 0x30, 0x05));
}

std::optional<TrackInformation> TrackInfo(char16_t letter, uint32_t number) {
    std::vector<uint8_t> reply(kTrackInformationLength);
    if (!SendReadTrackInformation(letter, number, reply).ok())
        return std::nullopt;
    return ReadTrackInformationReply(ByteReader(reply));
}

SenseData RequestSense(char16_t letter) {
    std::vector<uint8_t> reply(kRequestSenseLength);
    EXPECT_TRUE(SendRequestSense(letter, reply).ok());
    return ReadSenseData(ByteReader(reply));
}

TEST_F(RecordingTest, TrackInformationFollowsTheReservationsInTheMediumsUnit) {
    struct Row {
        char16_t drive;
        uint16_t profile;
        uint32_t capacity;
        uint32_t reserved;  // RESERVE TRACK 112 as the drive rounds it
    };
    const Row rows[] = {
        {u'F', 0x0011, 2298496, 112},   // DVD-R: 16-block ECC blocks
        {u'G', 0x0041, 12219392, 128},  // BD-R: 32-block clusters
        {u'H', 0x0051, 7341056, 128},   // HD DVD-R
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.profile);
        LoadBlank(r.drive, r.profile);
        std::optional<TrackInformation> blank = TrackInfo(r.drive, kInvisibleTrack);
        ASSERT_TRUE(blank);
        EXPECT_EQ(blank->trackNumber, 1);
        EXPECT_TRUE(blank->blank);
        EXPECT_TRUE(blank->nwaValid);
        EXPECT_EQ(blank->nextWritable, 0u);
        EXPECT_EQ(blank->freeBlocks, r.capacity);

        ASSERT_TRUE(SetWriteParameters(r.drive, ProfileToDiscType(r.profile)));
        ASSERT_TRUE(SendReserveTrack(r.drive, 112).ok());
        std::vector<uint8_t> block(16 * 2048, 1);
        ASSERT_TRUE(SendWrite10(r.drive, 0, 16, block).ok());
        std::optional<TrackInformation> first = TrackInfo(r.drive, 1);
        ASSERT_TRUE(first);
        EXPECT_TRUE(first->reserved);
        EXPECT_EQ(first->trackSize, r.reserved);
        EXPECT_EQ(first->nextWritable, 16u);
        EXPECT_EQ(first->freeBlocks, r.reserved - 16);
        std::optional<TrackInformation> next = TrackInfo(r.drive, kInvisibleTrack);
        ASSERT_TRUE(next);
        EXPECT_EQ(next->trackNumber, 2);
        EXPECT_EQ(next->trackStart, r.reserved);
        EXPECT_EQ(next->nextWritable, r.reserved);
        EXPECT_EQ(next->freeBlocks, r.capacity - r.reserved);
        EXPECT_FALSE(TrackInfo(r.drive, 3));
    }
    // A drive that reports its addresses off by a cluster.
    sim.Drive(u'F')->AddFault({FaultKind::NwaOffset, 0, 32});
    LoadBlank(u'F', 0x0011);
    EXPECT_EQ(TrackInfo(u'F', kInvisibleTrack)->nextWritable, 32u);
}

TEST_F(RecordingTest, AnImmediateCloseOrFormatKeepsTheDriveBusyAndTellsItsProgress) {
    vestrel::testing::CountingClock clock;
    sim.Drive(u'F')->AddFault({FaultKind::LongClose, 0, 10000});
    sim.Drive(u'G')->AddFault({FaultKind::LongFormat, 0, 4000});
    std::vector<SourceTrack> source{{true, PatternBytes(64 * 2048, 21)}};
    LoadBlank(u'F', 0x001B);
    RecordCopy(u'F', source, disc::DvdPlusR);
    ASSERT_TRUE(SendCommandBlock(u'F', CloseTrackSessionCdb(6, 0, true), {}).ok());
    LoadBlank(u'G', 0x0043);
    auto list = FormatUnitParameters(11826176, 0x30, 0x01, 0, true);
    ASSERT_TRUE(SendCommandBlock(u'G', FormatUnitCdb(), list).ok());

    EXPECT_TRUE(Sensed(SendTestUnitReady(u'F'), 2, 0x04, 0x07));
    EXPECT_TRUE(Sensed(SendTestUnitReady(u'G'), 2, 0x04, 0x04));
    clock.now += 2000;
    EXPECT_EQ(RequestSense(u'F').progress, 13107);  // a fifth
    SenseData g = RequestSense(u'G');
    EXPECT_EQ(g.ascq, 0x04);
    EXPECT_EQ(g.progress, 32768);
    EXPECT_TRUE(Sensed(SendSynchronizeCache(u'F'), 2, 0x04, 0x07));
    EXPECT_FALSE(sim.OpenTray(u'F')) << "no eject while it closes";
    clock.now += 8000;
    EXPECT_TRUE(SendTestUnitReady(u'F').ok());
    EXPECT_TRUE(SendTestUnitReady(u'G').ok());
    SenseData idle = RequestSense(u'F');
    EXPECT_TRUE(idle.valid);
    EXPECT_EQ(idle.senseKey, 0);
    EXPECT_FALSE(idle.progress);
    EXPECT_EQ(sim.Drive(u'G')->State().lastFormat, 0xC1);
    Move(u'F', u'D');
    ExpectSame(ReadBack(u'D'), source);
}

TEST_F(RecordingTest, ACloseOrFormatThatFailsSaysSoWhenItEnds) {
    sim.Drive(u'F')->AddFault({FaultKind::CloseFails, 0, 1});
    sim.Drive(u'G')->AddFault({FaultKind::FormatFails, 0, 1});
    LoadBlank(u'F', 0x001B);
    RecordCopy(u'F', {{true, PatternBytes(32 * 2048, 22)}}, disc::DvdPlusR);
    EXPECT_TRUE(Sensed(Close(u'F', 6), 3, 0x0C, 0)) << "at once without the immediate bit";
    ASSERT_TRUE(SendCommandBlock(u'F', CloseTrackSessionCdb(6, 0, true), {}).ok());
    EXPECT_TRUE(Sensed(SendTestUnitReady(u'F'), 3, 0x0C, 0)) << "deferred to the next command";
    EXPECT_TRUE(SendTestUnitReady(u'F').ok()) << "and reported once";
    EXPECT_FALSE(sim.Drive(u'F')->WithDisc([](Disc* d) { return d->closed; }));

    LoadBlank(u'G', 0x0043);
    auto list = FormatUnitParameters(11826176, 0x30, 0x01, 0, true);
    ASSERT_TRUE(SendCommandBlock(u'G', FormatUnitCdb(), list).ok());
    EXPECT_TRUE(Sensed(SendTestUnitReady(u'G'), 3, 0x31, 0x01));
    EXPECT_FALSE(sim.Drive(u'G')->WithDisc([](Disc* d) { return d->formatted; }));
    EXPECT_EQ(sim.Drive(u'G')->State().lastFormat, -1);
}

TEST_F(RecordingTest, FormatUnitTakesTheFormatsTheMediumLists) {
    struct Row {
        uint16_t profile;
        uint8_t type;
        uint8_t subtype;
        bool accepted;
    };
    const Row rows[] = {
        {0x0043, 0x30, 0x01, true},  {0x0043, 0x30, 0x03, true},  {0x0043, 0x31, 0x00, true},
        {0x0043, 0x00, 0x00, true},  {0x0043, 0x31, 0x01, false}, {0x0043, 0x26, 0x00, false},
        {0x001A, 0x26, 0x00, true},  {0x001A, 0x00, 0x00, false}, {0x0012, 0x00, 0x00, true},
        {0x0012, 0x30, 0x01, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.profile) + " " + std::to_string(r.type) + "/" +
                     std::to_string(r.subtype));
        LoadBlank(u'G', r.profile);
        auto list = FormatUnitParameters(1000, r.type, r.subtype, 0, false);
        ScsiResult result = SendCommandBlock(u'G', FormatUnitCdb(), list);
        EXPECT_EQ(result.ok(), r.accepted);
        if (!r.accepted) {
            EXPECT_TRUE(Sensed(result, 5, 0x26, 0));
        }
    }
    LoadBlank(u'G', 0x0043);
    auto list = FormatUnitParameters(1000, 0x30, 0x01, 0, true);
    list[1] = 0x02;  // IMMED without FOV
    EXPECT_TRUE(Sensed(SendCommandBlock(u'G', FormatUnitCdb(), list), 5, 0x26, 0));
}

TEST_F(RecordingTest, SynchronizeCacheAnswersLongWriteAsOftenAsTheFaultSays) {
    sim.Drive(u'F')->AddFault({FaultKind::LongSync, 0, 2});
    LoadBlank(u'F', 0x0011);
    EXPECT_TRUE(Sensed(SendSynchronizeCache(u'F'), 2, 0x04, 0x08));
    EXPECT_TRUE(Sensed(SendSynchronizeCache(u'F'), 2, 0x04, 0x08));
    EXPECT_TRUE(SendSynchronizeCache(u'F').ok());
}

TEST_F(RecordingTest, FullSizeBlanksCostDiskNotMemory) {
    // The last block of a 25 GB BD-R: the work file is sparse.
    LoadBlank(u'G', 0x0041);
    ASSERT_TRUE(SetWriteParameters(u'G', disc::BdR));
    ASSERT_TRUE(SendReserveTrack(u'G', 12219392 - 32).ok());
    ASSERT_TRUE(SendReserveTrack(u'G', 32).ok());
    EXPECT_TRUE(Sensed(SendReserveTrack(u'G', 32), 5, 0x24, 0)) << "the disc is full";
    std::vector<uint8_t> last = PatternBytes(32 * 2048, 17);
    ASSERT_TRUE(SendWrite10(u'G', 12219392 - 32, 32, last).ok());
    ASSERT_TRUE(SendSynchronizeCache(u'G').ok());
    ASSERT_TRUE(Close(u'G', 6).ok());
    std::vector<uint8_t> back(32 * 2048);
    ASSERT_TRUE(SendRead10(u'G', 12219392 - 32, 32, back).ok());
    EXPECT_TRUE(back == last);
    ASSERT_TRUE(SendRead10(u'G', 1000, 32, back).ok());  // never written: zeros
    EXPECT_EQ(std::count(back.begin(), back.end(), 0), static_cast<long>(back.size()));
    uintmax_t size = sim.Drive(u'G')->WithDisc([](Disc* d) { return fs::file_size(d->file()); });
    EXPECT_EQ(size, uintmax_t{12219392} * 2048);
}

}  // namespace
}  // namespace vestrel::sim::testing
