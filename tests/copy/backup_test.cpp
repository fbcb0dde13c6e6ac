// Backing discs up to files on a bay of readers only: the track files are
// what the discs hold, the cue sheets describe them, the raw image of a CD
// with audio equals the disc's own raw sectors (as the simulator exports
// them), and a disc whose table of contents cannot be read gets no files.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "engine/disc_backup.h"
#include "engine/reader_thread.h"
#include "engine/wave_header.h"
#include "tests/copy/copy_fixture.h"

namespace vestrel {
namespace {

using namespace vestrel::sim::testing;

std::string TextOf(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(DiscBackup, ReadersAloneBackEveryDiscUpAsFilesAndCueSheets) {
    TempFolder folder;
    std::vector<SourceTrack> mixed = {{true, LabelledData(40, "MIXED_MODE", 41)},
                                      {false, PatternBytes(30 * 2352, 42)},
                                      {false, PatternBytes(26 * 2352, 43)}};
    const std::vector<uint8_t> film = LabelledData(60, "FILM", 44);
    Bay bay(BaySpec()
                .Cue("mixed", mixed)
                .Iso("film", "DVD-ROM", film)
                .Used("broken", "CD-R", 20)
                .Drive('D', "dvd-rom-reader", "mixed")
                .Drive('E', "dvd-rom-reader", "film")
                .Drive('F', "cd-rom-reader", "broken")
                .With("fault = toc-unreadable"),
            folder.path());
    ASSERT_TRUE(bay.loaded);

    EXPECT_FALSE(testing::FindAndPlan({})) << "no recorder, nothing to copy";
    ReadSourceLayouts();
    const fs::path out = folder / "backup";
    std::vector<SourceRecord> sources;
    std::vector<BackupFiles> files;
    {
        DriveLockGuard lock;
        files = PlanBackupFiles(SourceTable(), out.u16string());
        sources = SourceTable();
    }
    ASSERT_EQ(sources.size(), 3u);
    auto readers = testing::ReadEverySource(sources, 60);
    EXPECT_EQ(readers[2]->State().status, kTocUnreadableStatus);
    for (size_t i = 0; i < 2; ++i) {
        ASSERT_EQ(readers[i]->GetRunState(), RunState::Finished);
        std::u16string error;
        EXPECT_TRUE(WriteBackupCueSheets(sources[i], files[i], error)) << ToUtf8(error);
    }

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"FILM.cue", "FILM.iso", "MIXED_MODE-01.iso",
                                               "MIXED_MODE-02.wav", "MIXED_MODE-03.wav",
                                               "MIXED_MODE-raw.bin", "MIXED_MODE-raw.cue",
                                               "MIXED_MODE.cue"}));

    EXPECT_EQ(ReadFile(out / "FILM.iso"), film);
    EXPECT_EQ(TextOf(out / "FILM.cue"),
              "FILE \"FILM.iso\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n");
    EXPECT_EQ(ReadFile(out / "MIXED_MODE-01.iso"), mixed[0].bytes);
    for (size_t t = 1; t < 3; ++t) {
        std::vector<uint8_t> wav =
            ReadFile(out / ("MIXED_MODE-0" + std::to_string(t + 1) + ".wav"));
        ASSERT_EQ(wav.size(), 44 + mixed[t].bytes.size());
        EXPECT_TRUE(ReadWaveHeader(ByteReader(wav.data(), 44)));
        EXPECT_TRUE(std::equal(mixed[t].bytes.begin(), mixed[t].bytes.end(), wav.begin() + 44));
    }
    EXPECT_EQ(TextOf(out / "MIXED_MODE.cue"),
              "FILE \"MIXED_MODE-01.iso\" BINARY\n"
              "  TRACK 01 MODE1/2048\n"
              "    INDEX 01 00:00:00\n"
              "FILE \"MIXED_MODE-02.wav\" WAVE\n"
              "  TRACK 02 AUDIO\n"
              "    INDEX 01 00:00:00\n"
              "FILE \"MIXED_MODE-03.wav\" WAVE\n"
              "  TRACK 03 AUDIO\n"
              "    INDEX 01 00:00:00\n");

    // The raw image is the disc's own raw sectors, data as Mode 1 sectors
    // with their headers and parity.
    std::string error;
    std::unique_ptr<sim::Disc> disc = bay.simulator.MakeDisc("mixed", error);
    ASSERT_TRUE(disc) << error;
    ASSERT_TRUE(disc->ExportCueBin(folder / "export.cue", folder / "export.bin", error)) << error;
    EXPECT_TRUE(ReadFile(out / "MIXED_MODE-raw.bin") == ReadFile(folder / "export.bin"));
    std::string exported = TextOf(folder / "export.cue");
    exported.replace(exported.find("export.bin"), 10, "MIXED_MODE-raw.bin");
    EXPECT_EQ(TextOf(out / "MIXED_MODE-raw.cue"), exported);

    // A source's marks go into both cue sheets: track 3's 10-sector pre-gap
    // is the end of track 2's file and sectors 60..69 of the raw image.
    SourceRecord marked = sources[0];
    marked.marks.catalogNumber = "0012345678905";
    marked.marks.texts.title = "Mixed";
    marked.marks.tracks.resize(3);
    marked.marks.tracks[2].isrc = "USRC17607839";
    marked.marks.tracks[2].flags = track_flag::PreEmphasis;
    marked.marks.tracks[2].preGap = 10;
    const BackupFiles markedFiles = {(out / "marked.cue").u16string(),
                                     (out / "marked-raw.bin").u16string(),
                                     (out / "marked-raw.cue").u16string()};
    std::u16string why;
    ASSERT_TRUE(WriteBackupCueSheets(marked, markedFiles, why)) << ToUtf8(why);
    const std::string track3 = "  TRACK 03 AUDIO\n    ISRC USRC17607839\n    FLAGS PRE\n";
    EXPECT_EQ(TextOf(out / "marked.cue"),
              "CATALOG 0012345678905\nTITLE \"Mixed\"\n"
              "FILE \"MIXED_MODE-01.iso\" BINARY\n"
              "  TRACK 01 MODE1/2048\n"
              "    INDEX 01 00:00:00\n"
              "FILE \"MIXED_MODE-02.wav\" WAVE\n"
              "  TRACK 02 AUDIO\n"
              "    INDEX 01 00:00:00\n" +
                  track3 +
                  "    INDEX 00 00:00:20\nFILE \"MIXED_MODE-03.wav\" WAVE\n"
                  "    INDEX 01 00:00:00\n");
    const std::string rawCue = TextOf(out / "marked-raw.cue");
    EXPECT_TRUE(rawCue.starts_with("CATALOG 0012345678905\nTITLE \"Mixed\"\nFILE")) << rawCue;
    EXPECT_TRUE(rawCue.ends_with(track3 + "    INDEX 00 00:00:60\n    INDEX 01 00:00:70\n"))
        << rawCue;
    // A title a cue sheet cannot quote leaves no file behind.
    marked.marks.texts.title = "12\" mix";
    fs::remove(out / "marked.cue");
    fs::remove(out / "marked-raw.bin");
    fs::remove(out / "marked-raw.cue");
    EXPECT_FALSE(WriteBackupCueSheets(marked, markedFiles, why));
    EXPECT_FALSE(fs::exists(out / "marked.cue"));
    EXPECT_FALSE(fs::exists(out / "marked-raw.bin"));
}

}  // namespace
}  // namespace vestrel
