// The source reader against simulated drives: what it writes, in what
// chunks, and what it leaves behind when it fails or is stopped.
#include <gtest/gtest.h>

#include "drive/disc_marks.h"
#include "drive/drive_lock.h"
#include "drive/source_table.h"
#include "engine/copy_report.h"
#include "engine/image_files.h"
#include "engine/memory_panel.h"
#include "engine/reader_thread.h"
#include "engine/source_layout.h"
#include "engine/wave_header.h"
#include "tests/copy/copy_fixture.h"

namespace vestrel {
namespace {

using namespace vestrel::sim::testing;

// Forwards to the simulator and keeps the CDBs sent.
class Recorder : public Transport {
  public:
    explicit Recorder(Transport& next) : next_(next) { InstallTransport(this); }
    ~Recorder() override { InstallTransport(&next_); }
    ScsiResult Execute(const ScsiCommand& c) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            cdbs.emplace_back(c.cdb, c.cdb + c.cdbLength);
        }
        return next_.Execute(c);
    }
    bool AllowMediumRemoval(char16_t l) override { return next_.AllowMediumRemoval(l); }
    void EjectMedium(char16_t l) override { next_.EjectMedium(l); }
    // The block counts of the reads sent, in order.
    std::vector<uint32_t> ReadCounts() {
        std::vector<uint32_t> counts;
        for (auto& c : cdbs) {
            if (c[0] == 0x28)
                counts.push_back(ByteReader(c).Be16(7));
            if (c[0] == 0xBE)
                counts.push_back(ByteReader(c).Be24(6));
        }
        return counts;
    }
    std::vector<std::vector<uint8_t>> cdbs;

  private:
    Transport& next_;
    std::mutex mutex_;
};

class ReaderTest : public testing::CopyTest {
  protected:
    // Reads the disc's layout, plans its files in the scratch folder and
    // runs a reader on it.
    void ReadSource(char16_t letter, MemoryPanel& panel) {
        tracks_ = PlanSource(letter, disc::None).tracks;
        Run(ReaderThread, 0, panel);
    }
    bool Exists(size_t i) { return fs::exists(fs::path(tracks_[i].imagePath)); }

    std::vector<TrackRecord> tracks_;
};

TEST_F(ReaderTest, AMixedDiscBecomesAWaveAndAnIsoReadInChunksOf25) {
    const std::vector<SourceTrack> tracks = PatternTracks({-60, 1}, 1);
    const SourceTrack &audio = tracks[0], &data = tracks[1];
    Bay bay(BaySpec().Cue("mixed", tracks).Drive('E', "dvd-rom-reader", "mixed"), folder_.path());
    Recorder recorder(bay.simulator);
    MemoryPanel panel(u'E');
    ReadSource(u'E', panel);

    EXPECT_EQ(panel.State().status, u"Finished sucessfully.");
    EXPECT_EQ(panel.GetRunState(), RunState::Finished);
    EXPECT_EQ(panel.Statuses(),
              (std::vector<std::u16string>{u"Reading track 1 of 2...", u"Reading track 2 of 2...",
                                           u"Finished sucessfully."}));
    EXPECT_EQ(recorder.ReadCounts(), (std::vector<uint32_t>{25, 25, 10, 1}));

    std::vector<uint8_t> wav = ReadFile(fs::path(tracks_[0].imagePath));
    ASSERT_EQ(wav.size(), 44 + audio.bytes.size());
    auto header = ReadWaveHeader(ByteReader(wav.data(), 44));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->dataBytes, audio.bytes.size());
    EXPECT_TRUE(std::equal(audio.bytes.begin(), audio.bytes.end(), wav.begin() + 44));
    EXPECT_EQ(ReadFile(fs::path(tracks_[1].imagePath)), data.bytes);
    EXPECT_EQ(fs::path(tracks_[0].imagePath).filename(), "E000.wav");
    EXPECT_EQ(fs::path(tracks_[1].imagePath).filename(), "E001.iso");
    EXPECT_EQ(panel.Progress(), 1000u);
}

TEST_F(ReaderTest, AChunkThatFails14TimesIsStillRead) {
    const std::vector<uint8_t> bytes = PatternBytes(80 * 2048, 3);
    Bay bay(BaySpec()
                .Iso("data", "CD-ROM", bytes)
                .With("fault = read-error 30 14")
                .Drive('E', "dvd-rom-reader", "data"),
            folder_.path());
    MemoryPanel panel(u'E');
    ReadSource(u'E', panel);
    EXPECT_EQ(panel.State().status, u"Finished sucessfully.");
    EXPECT_EQ(ReadFile(fs::path(tracks_[0].imagePath)), bytes);
}

TEST_F(ReaderTest, FifteenFailuresEndTheReaderAndRemoveItsFiles) {
    // The fault lies in the second track, which holds LBAs 30 to 69.
    Bay bay(BaySpec()
                .Cue("mixed", PatternTracks({-30, 40}, 4))
                .With("fault = read-error 50 15")
                .Drive('E', "dvd-rom-reader", "mixed"),
            folder_.path());
    Toc toc = ReadToc(u'E');
    ASSERT_EQ(toc.entries.size(), 3u);
    ASSERT_EQ(toc.entries[1].address, 30u);
    ASSERT_EQ(toc.entries[2].address, 70u);
    MemoryPanel panel(u'E');
    ReadSource(u'E', panel);
    EXPECT_EQ(panel.State().status, u"Error reading disc (despite 15 retries).");
    EXPECT_EQ(panel.GetRunState(), RunState::Stopped);
    EXPECT_FALSE(Exists(0));
    EXPECT_FALSE(Exists(1));
    EXPECT_FALSE(fs::exists(folder_ / "img")) << "the emptied folder goes too";
    auto updates = panel.Updates();
    ASSERT_FALSE(updates.empty());
    EXPECT_EQ(updates.back().how, panel_update::Stopped);
}

TEST_F(ReaderTest, AStopRemovesEveryFileIncludingThePartialOne) {
    Bay bay(BaySpec()
                .Iso("data", "DVD-ROM", PatternBytes(200 * 2048, 6))
                .Drive('E', "dvd-rom-reader", "data"),
            folder_.path());
    MemoryPanel panel(u'E');
    panel.RequestStop();  // the person pressed Back as reading began
    ReadSource(u'E', panel);
    EXPECT_EQ(panel.State().status, u"Terminated by user.");
    EXPECT_FALSE(Exists(0));
}

TEST_F(ReaderTest, AFolderThatCannotBeMadeIsReported) {
    WriteFile(folder_ / "img", {1});  // a file where the folder should be
    Bay bay(BaySpec()
                .Iso("data", "CD-ROM", PatternBytes(10 * 2048, 7))
                .Drive('E', "dvd-rom-reader", "data"),
            folder_.path());
    MemoryPanel panel(u'E');
    ReadSource(u'E', panel);
    EXPECT_EQ(panel.State().status, u"Cannot create a temporary folder for the disc image file.");
    EXPECT_EQ(panel.GetRunState(), RunState::Stopped);
}

TEST(ReaderProgress, PositionsRunFromTheFirstSectorToExactly1000) {
    EXPECT_EQ(ProgressPosition(25, 60), 416u);
    EXPECT_EQ(ProgressPosition(60, 60), 1000u);
    EXPECT_EQ(ProgressPosition(1, 1), 1000u);
    EXPECT_EQ(ProgressPosition(0, 0), 1000u);
    EXPECT_EQ(ProgressPosition(5000000000ull, 10000000000ull), 500u);
}

// An album: 30 s of audio hidden before track 1, a 2 s pre-gap before
// track 2 (pre-emphasis), an INDEX 02 3 s into track 3, 3.5 s of silence
// before track 4 (copy permitted), a catalogue number, ISRCs on three
// tracks and CD-Text. The reader finds its marks in the Q frames it reads
// with the audio, and its texts in the lead-in; track 1's image starts
// with the hidden audio. Bad Q frames every 7th sector, Q a sector late,
// an ISRC latch that gives the first two of a track's ISRC frames the
// track before's code, and a drive that cannot read the hidden audio, or
// not all of it (silence from there, and a note of it), change no mark.
class AlbumMarksTest : public ReaderTest {
  protected:
    void SetUp() override {
        WriteFile(folder_.path() / "album.bin", album_);
        const std::string cue =
            "CATALOG 0012345678905\nPERFORMER \"The Band\"\nTITLE \"Album\"\n"
            "FILE \"album.bin\" BINARY\n"
            "  TRACK 01 AUDIO\n    TITLE \"Hidden\"\n    ISRC USRC17607839\n"
            "    INDEX 00 00:00:00\n    INDEX 01 00:30:00\n"
            "  TRACK 02 AUDIO\n    FLAGS PRE\n    ISRC GBAYE0000351\n"
            "    INDEX 00 00:35:00\n    INDEX 01 00:37:00\n"
            "  TRACK 03 AUDIO\n    SONGWRITER \"Someone\"\n    ISRC DEA123456789\n"
            "    INDEX 01 00:42:25\n    INDEX 02 00:45:25\n"
            "  TRACK 04 AUDIO\n    FLAGS DCP\n    PREGAP 00:03:38\n    INDEX 01 00:49:00\n";
        WriteFile(folder_.path() / "album.cue", std::vector<uint8_t>(cue.begin(), cue.end()));
    }
    static DiscMarks Expected() {
        DiscMarks m;
        m.catalogNumber = "0012345678905";
        m.texts = {"Album", "The Band", ""};
        m.tracks.resize(4);
        m.tracks[0].isrc = "USRC17607839";
        m.tracks[0].hiddenAudio = kHidden;
        m.tracks[0].texts.title = "Hidden";
        m.tracks[1] = {track_flag::PreEmphasis, "GBAYE0000351", 150, 0, {}, {}};
        m.tracks[2].isrc = "DEA123456789";
        m.tracks[2].indexes = {225};
        m.tracks[2].texts.songwriter = "Someone";
        m.tracks[3].flags = track_flag::CopyPermitted;
        m.tracks[3].preGap = 263;
        return m;
    }
    SourceRecord ReadAlbum(const std::string& fault) {
        BaySpec spec = BaySpec().Disc("album", "cue = album.cue").InReaders();
        if (!fault.empty())
            spec.Fault('D', fault);
        Bay bay(spec, folder_.path());
        MemoryPanel panel(u'D');
        ReadSource(u'D', panel);
        EXPECT_EQ(panel.State().status, u"Finished sucessfully.");
        DriveLockGuard lock;
        return SourceTable().at(0);
    }
    // Track 1's audio as its image file holds it: the hidden audio first.
    std::vector<uint8_t> TrackOneAudio(const TrackRecord& track) {
        const std::vector<uint8_t> wav = ReadFile(fs::path(track.imagePath));
        if (wav.size() < kWaveHeaderBytes)
            return {};
        return {wav.begin() + kWaveHeaderBytes, wav.end()};
    }

    static constexpr uint32_t kHidden = 2250, kTrackOneBlocks = 2775;
    const std::vector<uint8_t> album_ = PatternBytes(size_t{4075} * 2352, 5);
    const std::vector<uint8_t> trackOne_{album_.begin(), album_.begin() + kTrackOneBlocks * 2352};
};

TEST_F(AlbumMarksTest, TheReaderFindsEveryMark) {
    // The fault, and the sector from which the hidden audio is silence.
    const std::pair<const char*, uint32_t> cases[] = {
        {"", kHidden},
        {"q-crc-errors 7", kHidden},
        {"q-shift 1", kHidden},
        {"isrc-latch 150", kHidden},
        {"hidden-audio-unreadable", 0},
        {"read-error 100 15", 100},
    };
    for (const auto& [fault, silentFrom] : cases) {
        const SourceRecord source = ReadAlbum(fault);
        const DiscMarks &got = source.marks, want = Expected();
        std::vector<uint8_t> audio = trackOne_;
        std::fill(audio.begin() + silentFrom * 2352, audio.begin() + kHidden * 2352, 0);
        EXPECT_TRUE(TrackOneAudio(source.tracks.at(0)) == audio) << fault;
        EXPECT_EQ(source.hiddenAudioUnread, kHidden - silentFrom) << fault;
        EXPECT_EQ(got.catalogNumber, want.catalogNumber) << fault;
        EXPECT_EQ(got.texts, want.texts) << fault;
        ASSERT_EQ(got.tracks.size(), 4u) << fault;
        for (size_t t = 0; t < 4; ++t) {
            const TrackMarks &g = got.tracks[t], &w = want.tracks[t];
            EXPECT_EQ(g.flags, w.flags) << fault << " track " << t + 1;
            EXPECT_EQ(g.isrc, w.isrc) << fault << " track " << t + 1;
            EXPECT_EQ(g.preGap, w.preGap) << fault << " track " << t + 1;
            EXPECT_EQ(g.hiddenAudio, w.hiddenAudio) << fault << " track " << t + 1;
            EXPECT_EQ(g.indexes, w.indexes) << fault << " track " << t + 1;
            EXPECT_EQ(g.texts, w.texts) << fault << " track " << t + 1;
        }
        EXPECT_EQ(got, want) << fault;
    }
}

// A copy onto a CD-R carries the marks and the hidden audio: read back, it
// gives the source's. The texts go into its lead-in where the recorder
// records R-W sub-channels; elsewhere the copy is made without them, and
// says why.
TEST_F(AlbumMarksTest, ACopyCarriesTheMarks) {
    const struct {
        const char* recorder;
        CdTextCopy cdText;
        std::u16string note;
    } table[] = {
        {"dvd-rw-dl-recorder", CdTextCopy::Written, u""},
        {"cd-rw-recorder", CdTextCopy::RecorderCannot,
         u"F: copy 1 of 1 was made without CD-Text: the recorder cannot write it."},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.recorder);
        fs::remove_all(folder_ / "img");
        Bay bay(BaySpec()
                    .Disc("album", "cue = album.cue")
                    .InReaders()
                    .Drive('F', row.recorder)
                    .Blanks('F', "CD-R")
                    .TakeFinished(),
                folder_.path());
        ReadSources({{u'D', disc::CdRom, {{u'F', 1}}}});
        MemoryPanel writer(u'F');
        std::vector<CopyAttempt> ended;
        writer.SetCopyObserver([&](const CopyAttempt& a) {
            if (a.end != CopyEnd::Running)
                ended.push_back(a);
        });
        Run(WriterThread, u'F', writer);
        EXPECT_EQ(writer.State().status, u"Finished sucessfully.");
        ASSERT_EQ(ended.size(), 1u);
        EXPECT_EQ(ended[0].end, CopyEnd::Made);
        EXPECT_EQ(ended[0].cdText, row.cdText);
        EXPECT_EQ(CdTextNote(ended[0]), row.note);
        std::vector<sim::FinishedCopy> copies = bay.simulator.TakeFinishedCopies();
        ASSERT_EQ(copies.size(), 1u);
        ASSERT_TRUE(bay.simulator.LoadDisc(u'D', std::move(copies[0].disc)));
        MemoryPanel reader(u'D');
        ReadSource(u'D', reader);
        EXPECT_TRUE(TrackOneAudio(tracks_.at(0)) == trackOne_);
        DiscMarks want = Expected();
        if (row.cdText != CdTextCopy::Written) {
            want.texts = {};
            for (TrackMarks& t : want.tracks)
                t.texts = {};
        }
        DriveLockGuard lock;
        EXPECT_EQ(SourceTable().at(0).marks, want);
    }
}

}  // namespace
}  // namespace vestrel
