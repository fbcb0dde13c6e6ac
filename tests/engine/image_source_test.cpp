// Image files as sources: cue sheets read back, the disc family an image
// gets, and ISO files and cue sheets opened from real files, whole or cut.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/test_bay.h"
#include "drive/cd_sector.h"
#include "drive/text.h"
#include "engine/cue_file.h"
#include "engine/image_source.h"
#include "engine/wave_header.h"
#include "engine/writer_thread.h"
#include "four_track_marks.h"

namespace vestrel {
namespace {

using sim::testing::LabelledData;
using sim::testing::PatternBytes;
using sim::testing::ReadFile;
using sim::testing::TempFolder;
using sim::testing::WriteFile;

TEST(CueSheetReading, ReadsBackWhatTheBackupWrites) {
    const std::vector<CueRawTrack> raw = {{true, 150}, {false, 4574}, {false, 1}};
    CueReadError error;
    const auto files = ReadCueSheet(*RawImageCue(u"Disc-raw.bin", raw), error);
    ASSERT_TRUE(files) << error.text;
    ASSERT_EQ(files->size(), 1u);
    const CueReadFile& f = files->front();
    EXPECT_EQ(f.name, "Disc-raw.bin");
    EXPECT_FALSE(f.wave);
    ASSERT_EQ(f.tracks.size(), 3u);
    EXPECT_EQ(f.tracks[0].mode, CueMode::Mode1Raw);
    EXPECT_EQ(f.tracks[1].mode, CueMode::Audio);
    EXPECT_EQ(f.tracks[1].start, 150u);
    EXPECT_EQ(f.tracks[2].start, 4724u);
    EXPECT_EQ(f.tracks[2].line, 6u);
    EXPECT_EQ(f.tracks[2].startLine, 7u);

    const std::vector<CueTrackFile> perTrack = {{true, u"D-01.iso"}, {false, u"D-02.wav"}};
    const auto split = ReadCueSheet(*TrackFilesCue(perTrack), error);
    ASSERT_TRUE(split) << error.text;
    ASSERT_EQ(split->size(), 2u);
    EXPECT_EQ((*split)[0].tracks[0].mode, CueMode::Mode1);
    EXPECT_TRUE((*split)[1].wave);
    EXPECT_EQ((*split)[1].tracks[0].number, 2u);
}

TEST(CueSheetReading, TakesWhatOtherToolsWrite) {
    // Lower case, CRLF, a byte order mark, texts, gaps and INDEX 00.
    const std::string text =
        "\xEF\xBB\xBFREM GENRE Rock\r\nCATALOG 0000000000000\r\nPERFORMER \"A B\"\r\n"
        "file disc.bin binary\r\n  track 01 mode1/2352\r\n    index 01 00:00:00\r\n"
        "  TRACK 02 AUDIO\r\n    FLAGS DCP\r\n    PREGAP 00:02:00\r\n    INDEX 00 00:10:00\r\n"
        "    INDEX 01 00:12:00\r\n    INDEX 02 00:13:00\r\n  POSTGAP 00:02:00\r\n";
    CueReadError error;
    const auto files = ReadCueSheet(text, error);
    ASSERT_TRUE(files) << error.line << ": " << error.text;
    ASSERT_EQ(files->front().tracks.size(), 2u);
    EXPECT_EQ(files->front().tracks[1].start, 12u * 75);
}

TEST(CueSheetReading, NamesTheLineOfWhatIsWrong) {
    const struct {
        const char* text;
        size_t line;
        const char* says;
    } cases[] = {
        {"", 0, "no FILE"},
        {"TRACK 01 AUDIO\n", 1, "before any FILE"},
        {"FILE \"a.bin BINARY\n", 1, "quote"},
        {"FILE \"a.mp3\" MP3\n", 1, "file type"},
        {"FILE a.bin BINARY\n  TRACK 01 MODE2/2352\n", 2, "track mode"},
        {"FILE a.bin BINARY\n  TRACK 02 AUDIO\n", 2, "where track 1"},
        {"FILE a.bin BINARY\n  TRACK 1 AUDIO\n  TRACK 02 AUDIO\n", 2, "no INDEX 01"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n", 2, "no INDEX 01"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:60:00\n", 3, "mm:ss:ff"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:75\n", 3, "mm:ss:ff"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 02 00:00:00\n", 3, "before INDEX 01"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n    INDEX 01 00:00:01\n", 4,
         "rise"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:05\n"
         "  TRACK 02 AUDIO\n    INDEX 01 00:00:05\n",
         5, "before the index"},
        {"FILE a.wav WAVE\n  TRACK 01 MODE1/2048\n", 2, "audio tracks only"},
        {"FILE a.bin BINARY\nFILE b.bin BINARY\n", 2, "names no track"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\nPREGAP 2\n", 4, "PREGAP"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\nFOO\n", 4, "unknown"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n\0\n", 4, "text"},
        // Marks.
        {"CATALOG 123456789012\n", 1, "CATALOG takes a catalog number"},
        {"CATALOG 0012345678905\nCATALOG 0012345678905\n", 2, "a second CATALOG"},
        {"ISRC USRC17607839\n", 1, "ISRC before any TRACK"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    ISRC US-RC1760783\n", 3, "ISRC takes a code"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    ISRC usrc17607839\n", 3, "ISRC takes a code"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    FLAGS DCP DATA\n", 3, "unknown flag DATA"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    FLAGS\n", 3, "FLAGS takes"},
        {"TITLE\n", 1, "TITLE takes a text"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n    INDEX 00 00:01:00\n", 4,
         "INDEX 00 after INDEX 01"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n    INDEX 03 00:01:00\n", 4,
         "INDEX 03 where INDEX 02 belongs"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:01:00\n    INDEX 02 00:01:00\n", 4,
         "before the index"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:01:00\n"
         "  TRACK 02 AUDIO\n    INDEX 00 00:01:00\n",
         5, "before the index"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
         "  TRACK 02 AUDIO\n    INDEX 00 00:01:00\nFILE b.bin BINARY\n    INDEX 01 00:00:01\n",
         7, "INDEX 01 must start its file"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
         "  TRACK 02 AUDIO\n    INDEX 00 00:01:00\nFILE b.bin BINARY\nFILE c.bin BINARY\n",
         4, "track 2 has no INDEX 01"},
        {"FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\nFILE b.bin BINARY\n", 4,
         "the FILE before names no track"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CueReadError error;
        // Literal texts may hold a NUL byte: take every byte before the last.
        const std::string text(c.text, std::char_traits<char>::length(c.text) +
                                           (std::string_view(c.says) == "text" ? 2 : 0));
        EXPECT_FALSE(ReadCueSheet(text, error));
        EXPECT_EQ(error.line, c.line);
        EXPECT_NE(error.text.find(c.says), std::string::npos) << error.text;
    }
}

TEST(ImageFamily, SmallestFamilyThatHoldsItOrTheOneAsked) {
    using enum MediaFamily;
    const struct {
        uint64_t blocks;
        bool audio;
        MediaFamily asked;
        DiscType type;  // None: refused
    } cases[] = {
        {kCdBlankBlocks, false, Smallest, disc::CdRom},
        {kCdBlankBlocks + 1, false, Smallest, disc::DvdRom},
        {kDvdDualLayerBlocks, false, Smallest, disc::DvdRom},
        {kDvdDualLayerBlocks + 1, false, Smallest, disc::BdRom},
        {kBdDualLayerBlocks, false, Smallest, disc::BdRom},
        {kBdDualLayerBlocks + 1, false, Smallest, disc::None},
        {1000, false, Dvd, disc::DvdRom},
        {1000, false, Bd, disc::BdRom},
        {kCdBlankBlocks + 1, false, Cd, disc::None},
        {kDvdDualLayerBlocks + 1, false, Dvd, disc::None},
        {1000, true, Smallest, disc::CdRom},
        {1000, true, Cd, disc::CdRom},
        {kCdBlankBlocks + 1, true, Smallest, disc::None},
        {1000, true, Dvd, disc::None},
        {1000, true, Bd, disc::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.blocks << " audio " << c.audio << " family "
                                        << static_cast<int>(c.asked));
        std::u16string why;
        EXPECT_EQ(ImageDiscType(c.blocks, c.audio, c.asked, why).value_or(disc::None), c.type);
        EXPECT_EQ(why.empty(), c.type != disc::None);
    }
    // A DVD larger than a layer goes to dual-layer blanks.
    EXPECT_EQ(CompatibleBlankTypes(disc::DvdRom, kDvdLayerBlocks + 1) & disc::DvdR, 0u);
}

// An ISO 9660 volume of `blocks` that says how large it is.
std::vector<uint8_t> Volume(uint32_t blocks, const std::string& label) {
    std::vector<uint8_t> bytes = LabelledData(blocks, label, blocks);
    uint8_t* pvd = bytes.data() + 16 * 2048;
    for (int i = 0; i < 4; ++i) {
        pvd[80 + i] = static_cast<uint8_t>(blocks >> (8 * i));
        pvd[87 - i] = static_cast<uint8_t>(blocks >> (8 * i));
    }
    return bytes;
}

std::vector<uint8_t> Wave(const std::vector<uint8_t>& audio) {
    const auto header = WaveHeaderBytes(static_cast<uint32_t>(audio.size()));
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    return bytes;
}

class ImageSourceTest : public testing::Test {
  protected:
    std::u16string Path(const std::string& name) const {
        return FromUtf8((folder_ / name).string());
    }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        WriteFile(folder_ / name, bytes);
    }
    void WriteText(const std::string& name, const std::string& text) const {
        Write(name, std::vector<uint8_t>(text.begin(), text.end()));
    }
    // Opens the image; the error line with the folder left out.
    std::string Open(const std::string& name, ImageSource& source,
                     MediaFamily family = MediaFamily::Smallest) const {
        std::u16string error;
        if (OpenImageSource(Path(name), family, source, error))
            return "";
        const std::string line = ToUtf8(error);
        const std::string prefix = (folder_.path() / "").string();
        return line.starts_with(prefix) ? line.substr(prefix.size()) : line;
    }
    // The bytes CopyOutTrack makes of track `index`.
    std::vector<uint8_t> CopyOut(ImageSource& source, size_t index) const {
        TrackRecord track = source.record.tracks[index];
        track.imagePath = Path("out/track" + std::to_string(index));
        std::u16string error;
        EXPECT_TRUE(CopyOutTrack(source.places[index], track, error)) << ToUtf8(error);
        return ReadFile(ToUtf8(track.imagePath));
    }

    TempFolder folder_;
};

TEST_F(ImageSourceTest, AnIsoIsOneDataTrackReadInPlace) {
    Write("disc.iso", Volume(40, "HOLIDAY"));
    ImageSource source;
    ASSERT_EQ(Open("disc.iso", source), "");
    EXPECT_EQ(source.record.discType, disc::CdRom);
    EXPECT_EQ(source.record.discBlocks, 40u);
    EXPECT_EQ(source.record.volumeLabel, u"HOLIDAY");
    ASSERT_EQ(source.record.tracks.size(), 1u);
    EXPECT_EQ(source.record.tracks[0].imagePath, Path("disc.iso"));
    EXPECT_EQ(source.record.tracks[0].imageBytes, 40u * 2048);

    ASSERT_EQ(Open("disc.iso", source, MediaFamily::Bd), "");
    EXPECT_EQ(source.record.discType, disc::BdRom);
}

TEST_F(ImageSourceTest, RawAndSplitCueSheetsGiveTheSameTracks) {
    const std::vector<uint8_t> data = Volume(20, "MIXED");
    const std::vector<uint8_t> audio = PatternBytes(7 * 2352, 5);
    std::vector<uint8_t> raw(20 * 2352);
    for (int32_t i = 0; i < 20; ++i) {
        BuildMode1Sector(i, std::span(data).subspan(size_t(i) * 2048, 2048),
                         std::span(raw).subspan(size_t(i) * 2352, 2352));
    }
    raw.insert(raw.end(), audio.begin(), audio.end());
    Write("m-raw.bin", raw);
    WriteText("m-raw.cue",
              *RawImageCue(u"m-raw.bin", std::vector<CueRawTrack>{{true, 20}, {false, 7}}));
    Write("m-01.iso", data);
    Write("m-02.wav", Wave(audio));
    WriteText("m.cue",
              *TrackFilesCue(std::vector<CueTrackFile>{{true, u"m-01.iso"}, {false, u"m-02.wav"}}));
    for (const char* cue : {"m-raw.cue", "m.cue"}) {
        SCOPED_TRACE(cue);
        ImageSource source;
        ASSERT_EQ(Open(cue, source), "");
        EXPECT_EQ(source.record.discType, disc::CdRom);
        EXPECT_EQ(source.record.volumeLabel, u"MIXED");
        ASSERT_EQ(source.record.tracks.size(), 2u);
        EXPECT_EQ(source.record.tracks[1].firstLba, 20u);
        EXPECT_EQ(source.record.tracks[1].lastLba, 26u);
        const bool split = std::string(cue) == "m.cue";
        EXPECT_EQ(source.places[0].inPlace, split);
        EXPECT_EQ(source.places[1].inPlace, split);
        EXPECT_EQ(CopyOut(source, 0), data);
        EXPECT_EQ(CopyOut(source, 1), Wave(audio));
    }
    // Audio is a CD's only.
    ImageSource source;
    EXPECT_EQ(Open("m.cue", source, MediaFamily::Dvd), "m.cue: audio tracks go on a CD only");
}

// The marks of both cue sheets a backup writes come back whole once the
// files are measured, and reach the cue sheet a writer sends.
TEST_F(ImageSourceTest, MarksComeBackFromBothCueSheetsAndReachTheWriter) {
    using testing_marks::kFourTrackSectors;
    const DiscMarks marks = testing_marks::FourTrackMarks();
    std::vector<CueTrackFile> files;
    std::vector<CueRawTrack> rawTracks;
    std::vector<std::vector<uint8_t>> audio;
    std::vector<uint8_t> raw;
    for (size_t i = 0; i < kFourTrackSectors.size(); ++i) {
        const std::string name = "D-0" + std::to_string(i + 1) + ".wav";
        audio.push_back(PatternBytes(size_t{kFourTrackSectors[i]} * 2352, 40 + uint32_t(i)));
        Write(name, Wave(audio.back()));
        raw.insert(raw.end(), audio.back().begin(), audio.back().end());
        files.push_back({false, FromUtf8(name), kFourTrackSectors[i]});
        rawTracks.push_back({false, kFourTrackSectors[i]});
    }
    Write("D-raw.bin", raw);
    WriteText("D.cue", *TrackFilesCue(files, marks));
    WriteText("D-raw.cue", *RawImageCue(u"D-raw.bin", rawTracks, marks));
    for (const char* cue : {"D.cue", "D-raw.cue"}) {
        SCOPED_TRACE(cue);
        ImageSource source;
        ASSERT_EQ(Open(cue, source), "");
        EXPECT_EQ(source.record.marks, marks);
        ASSERT_EQ(source.record.tracks.size(), 4u);
        for (size_t i = 0; i < 4; ++i) {
            const TrackRecord& t = source.record.tracks[i];
            EXPECT_EQ(t.lastLba - t.firstLba + 1, kFourTrackSectors[i]) << "track " << i + 1;
        }
        // Track 1 starts with its hidden audio.
        EXPECT_EQ(CopyOut(source, 0), Wave(audio[0]));
        EXPECT_EQ(CopyOut(source, 3), Wave(audio[3]));
    }

    ImageSource split;
    ASSERT_EQ(Open("D.cue", split), "");
    std::vector<SourceRecord> sources = ImageSourceRecords({split}, 1);
    sources[0].destinations = {{u'F', 1}};
    std::vector<WriterJob> jobs = WriterJobsFor(u'F', sources);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].marks, marks);
    CueSheet sheet;
    ASSERT_EQ(BuildJobCueSheet(jobs[0].tracks, sheet, jobs[0].marks), ImageMeasure::Measured);
    EXPECT_EQ(sheet, BuildCueSheet(jobs[0].tracks, marks));
    EXPECT_NE(sheet, BuildCueSheet(jobs[0].tracks));
    auto entry = [&](size_t i) {
        return std::vector<uint8_t>(sheet.begin() + i * 8, sheet.begin() + i * 8 + 8);
    };
    // MCN, lead-in (no CD-Text), track 1's ISRC and INDEX 00, 01 after 30 s.
    EXPECT_EQ(entry(0), (std::vector<uint8_t>{0x02, '0', '0', '1', '2', '3', '4', '5'}));
    EXPECT_EQ(entry(2), (std::vector<uint8_t>{0x01, 0x00, 0x00, 0x01, 0, 0, 0, 0}));
    EXPECT_EQ(entry(3), (std::vector<uint8_t>{0x03, 0x01, 'U', 'S', 'R', 'C', '1', '7'}));
    EXPECT_EQ(entry(6), (std::vector<uint8_t>{0x01, 0x01, 0x01, 0x00, 0, 0, 32, 0}));
    // Track 2: ISRC with the pre-emphasis CONTROL, INDEX 00 at LBA 2400.
    EXPECT_EQ(entry(7), (std::vector<uint8_t>{0x13, 0x02, 'G', 'B', 'A', 'Y', 'E', '0'}));
    EXPECT_EQ(entry(9), (std::vector<uint8_t>{0x11, 0x02, 0x00, 0x00, 0, 0, 34, 0}));
    EXPECT_EQ(entry(10), (std::vector<uint8_t>{0x11, 0x02, 0x01, 0x00, 0, 0, 36, 0}));
}

TEST_F(ImageSourceTest, CutOrMissingFilesAreNamedWithTheirLine) {
    Write("cut.iso", std::vector<uint8_t>(40 * 2048 - 100));
    const std::vector<uint8_t> volume = Volume(40, "X");
    const std::vector<uint8_t> cutVolume(volume.begin(), volume.begin() + 30 * 2048);
    Write("short.iso", cutVolume);
    Write("a.bin", PatternBytes(10 * 2352 + 5, 1));
    WriteText("cut-bin.cue", "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    WriteText("past.cue",
              "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n    INDEX 01 00:00:20\n");
    WriteText("missing.cue",
              "REM\nFILE \"none.bin\" BINARY\n  TRACK 01 AUDIO\n"
              "    INDEX 01 00:00:00\n");
    std::vector<uint8_t> wave = Wave(PatternBytes(4 * 2352, 2));
    wave.resize(wave.size() - 2352);
    Write("cut.wav", wave);
    WriteText("cut-wav.cue", "FILE \"cut.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    Write("noise.wav", PatternBytes(4 * 2352, 3));
    WriteText("noise.cue", "FILE noise.wav WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    Write("short-data.bin", cutVolume);
    WriteText("short-data.cue",
              "REM\nFILE short-data.bin BINARY\n  TRACK 01 MODE1/2048\n"
              "    INDEX 01 00:00:00\n");
    WriteText("bad.cue", "FILE a.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 0:0\n");

    const struct {
        const char* file;
        const char* error;  // its start
    } cases[] = {
        {"none.iso", "none.iso: cannot open the file"},
        {"cut.iso", "cut.iso: truncated: 81820 bytes are not whole 2048-byte blocks"},
        {"short.iso", "short.iso: truncated: its ISO 9660 volume takes 40 blocks"},
        {"cut-bin.cue", "cut-bin.cue:2: a.bin is truncated: it ends inside a sector of track 1"},
        {"past.cue", "past.cue:5: track 2 starts past the end of a.bin"},
        {"missing.cue", "missing.cue:2: cannot open "},
        {"cut-wav.cue", "cut-wav.cue:1: cut.wav is truncated: its header counts 9408 bytes"},
        {"noise.cue", "noise.cue:1: noise.wav is not a CD audio WAV file"},
        {"short-data.cue", "short-data.cue:3: truncated: its ISO 9660 volume takes 40 blocks"},
        {"bad.cue", "bad.cue:3: INDEX takes a number and a time mm:ss:ff"},
    };
    for (const auto& c : cases) {
        ImageSource source;
        EXPECT_TRUE(Open(c.file, source).starts_with(c.error)) << Open(c.file, source);
    }
}

}  // namespace
}  // namespace vestrel
