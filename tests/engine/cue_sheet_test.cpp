// Cue sheets against the exact bytes a Session-at-Once recorder expects,
// and the track sizes taken from image files.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/cue_sheet.h"
#include "engine/image_files.h"

namespace vestrel {
namespace {

using Bytes = std::vector<uint8_t>;

WriterTrack Track(bool isData, uint32_t blocks) {
    WriterTrack t;
    t.isData = isData;
    t.blockCount = blocks;
    return t;
}

TEST(LbaToMsf, CountsTwoSecondsAheadOfLbaZero) {
    for (auto [lba, mm, ss, ff] : std::vector<std::array<int32_t, 4>>{
             {0, 0, 2, 0}, {-150, 0, 0, 0}, {4349, 0, 59, 74}, {359849, 79, 59, 74}}) {
        Msf m = LbaToMsf(lba);
        EXPECT_EQ(m.minutes, mm) << lba;
        EXPECT_EQ(m.seconds, ss) << lba;
        EXPECT_EQ(m.frames, ff) << lba;
    }
}

TEST(CueSheet, OneDataTrack) {
    std::vector<WriterTrack> tracks{Track(true, 1000)};
    EXPECT_EQ(BuildCueSheet(tracks), (Bytes{0x41, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,  //
                                            0x41, 0x01, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00,  //
                                            0x41, 0x01, 0x01, 0x10, 0x00, 0x00, 0x02, 0x00,  //
                                            0x41, 0xAA, 0x01, 0x01, 0x00, 0x00, 0x0F, 0x19}));
}

TEST(CueSheet, TwoAudioTracks) {
    std::vector<WriterTrack> tracks{Track(false, 3000), Track(false, 4500)};
    EXPECT_EQ(BuildCueSheet(tracks), (Bytes{0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,  //
                                            0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  //
                                            0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00,  //
                                            0x01, 0x02, 0x01, 0x00, 0x00, 0x00, 0x2A, 0x00,  //
                                            0x01, 0xAA, 0x01, 0x01, 0x00, 0x01, 0x2A, 0x00}));
}

TEST(CueSheet, MixedModeTakesEachTrackKindAndTheFirstTrackForTheSessionEntries) {
    std::vector<WriterTrack> tracks{Track(true, 300), Track(false, 4500), Track(false, 75)};
    Bytes sheet = BuildCueSheet(tracks);
    ASSERT_EQ(sheet.size(), 6u * 8);
    auto entry = [&](size_t i) { return Bytes(sheet.begin() + 8 * i, sheet.begin() + 8 * i + 8); };
    EXPECT_EQ(entry(0), (Bytes{0x41, 0x00, 0x00, 0x01, 0, 0, 0, 0}));
    EXPECT_EQ(entry(1), (Bytes{0x41, 0x01, 0x00, 0x10, 0, 0, 0, 0}));
    EXPECT_EQ(entry(2), (Bytes{0x41, 0x01, 0x01, 0x10, 0, 0, 2, 0}));
    EXPECT_EQ(entry(3), (Bytes{0x01, 0x02, 0x01, 0x00, 0, 0, 6, 0}));  // LBA 300
    EXPECT_EQ(entry(4), (Bytes{0x01, 0x03, 0x01, 0x00, 0, 1, 6, 0}));  // LBA 4800
    EXPECT_EQ(entry(5), (Bytes{0x41, 0xAA, 0x01, 0x01, 0, 1, 7, 0}));  // LBA 4875
}

// MCN 0012345678905 and CD-Text; track 1 with ISRC USRC17607839 and 30 s of
// audio before its INDEX 01; track 2 with a 2 s pre-gap and an INDEX 02;
// track 3 with pre-emphasis; the lead-out at 12:00:00 (numbers in binary,
// as the recorders that take today's copies read them).
TEST(CueSheet, MarksOfAnAudioCd) {
    std::vector<WriterTrack> tracks{Track(false, 18750), Track(false, 17100), Track(false, 18000)};
    DiscMarks marks;
    marks.catalogNumber = "0012345678905";
    marks.cdText = true;
    marks.tracks.resize(3);
    marks.tracks[0].isrc = "USRC17607839";
    marks.tracks[0].hiddenAudio = 2250;
    marks.tracks[1].preGap = 150;
    marks.tracks[1].indexes = {3600};
    marks.tracks[2].flags = 0x1;
    EXPECT_EQ(BuildCueSheet(tracks, marks),
              (Bytes{0x02, 0x30, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35,  // MCN 1-7
                     0x02, 0x36, 0x37, 0x38, 0x39, 0x30, 0x35, 0x00,  // MCN 8-13
                     0x01, 0x00, 0x00, 0x41, 0x00, 0x00, 0x00, 0x00,  // lead-in, CD-Text
                     0x03, 0x01, 0x55, 0x53, 0x52, 0x43, 0x31, 0x37,  // ISRC USRC17
                     0x03, 0x01, 0x36, 0x30, 0x37, 0x38, 0x33, 0x39,  // ISRC 607839
                     0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 1.00 at -150
                     0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x20, 0x00,  // 1.01 at 00:32:00
                     0x01, 0x02, 0x00, 0x00, 0x00, 0x04, 0x0A, 0x00,  // 2.00 at 04:10:00
                     0x01, 0x02, 0x01, 0x00, 0x00, 0x04, 0x0C, 0x00,  // 2.01 at 04:12:00
                     0x01, 0x02, 0x02, 0x00, 0x00, 0x05, 0x00, 0x00,  // 2.02 at 05:00:00
                     0x11, 0x03, 0x01, 0x00, 0x00, 0x08, 0x00, 0x00,  // 3.01, pre-emphasis
                     0x01, 0xAA, 0x01, 0x01, 0x00, 0x0C, 0x00, 0x00}));

    // Marks that do not fit give no sheet.
    const struct {
        const char* what;
        void (*spoil)(DiscMarks&);
    } spoiled[] = {
        {"MCN of 12 digits", [](DiscMarks& m) { m.catalogNumber = "001234567890"; }},
        {"ISRC with a lowercase letter", [](DiscMarks& m) { m.tracks[0].isrc = "usRC17607839"; }},
        {"pre-gap past the track before", [](DiscMarks& m) { m.tracks[2].preGap = 17100; }},
        {"hidden audio on track 2", [](DiscMarks& m) { m.tracks[1].hiddenAudio = 75; }},
        {"INDEX 02 at INDEX 01", [](DiscMarks& m) { m.tracks[1].indexes = {0}; }},
        {"INDEX 02 past the track", [](DiscMarks& m) { m.tracks[1].indexes = {17100}; }},
        {"indexes out of order",
         [](DiscMarks& m) {
             m.tracks[1].indexes = {300, 200};
         }},
        {"marks for two tracks of three", [](DiscMarks& m) { m.tracks.pop_back(); }},
    };
    for (const auto& s : spoiled) {
        DiscMarks m = marks;
        s.spoil(m);
        EXPECT_TRUE(BuildCueSheet(tracks, m).empty()) << s.what;
    }
}

TEST(CueSheet, NoTracksGiveNoSheet) {
    EXPECT_TRUE(BuildCueSheet({}).empty());
}

class ImageFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ =
            std::filesystem::temp_directory_path() /
            ("vestrel-cue-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::u16string MakeFile(const std::string& name, size_t bytes) {
        std::filesystem::path p = folder_ / name;
        std::ofstream(p, std::ios::binary) << std::string(bytes, '\x5A');
        return p.u16string();
    }
    std::u16string Missing(const std::string& name) { return (folder_ / name).u16string(); }

    std::filesystem::path folder_;
};

TEST_F(ImageFolder, MeasuringFillsSizesAndConsecutivePositions) {
    std::vector<WriterTrack> tracks(3);
    tracks[0].isData = true;
    tracks[0].imagePath = MakeFile("E000.iso", 2048 * 20);
    tracks[1].imagePath = MakeFile("E001.wav", 44 + 2352 * 10);
    tracks[2].imagePath = MakeFile("E002.wav", 44 + 2352 * 3 + 100);  // cut short
    ASSERT_EQ(MeasureImageFiles(tracks), ImageMeasure::Measured);
    EXPECT_EQ(tracks[0].dataBytes, 40960u);
    EXPECT_EQ(tracks[0].blockCount, 20u);
    EXPECT_EQ(tracks[0].startLba, 0);
    EXPECT_EQ(tracks[1].dataBytes, 23520u);
    EXPECT_EQ(tracks[1].blockCount, 10u);
    EXPECT_EQ(tracks[1].startLba, 20);
    EXPECT_EQ(tracks[2].dataBytes, 2352u * 3 + 100);
    EXPECT_EQ(tracks[2].blockCount, 3u);
    EXPECT_EQ(tracks[2].startLba, 30);
    // The job's cue sheet places the lead-out after the measured tracks.
    CueSheet sheet{1, 2, 3};
    ASSERT_EQ(BuildJobCueSheet(tracks, sheet), ImageMeasure::Measured);
    ASSERT_EQ(sheet.size(), 6u * 8);
    Msf end = LbaToMsf(33);
    EXPECT_EQ(sheet[8 * 5 + 6], end.seconds);
    EXPECT_EQ(sheet[8 * 5 + 7], end.frames);
    // A copy whose lead-in the host writes CD-Text into: data form 41h.
    DiscMarks cdText;
    cdText.cdText = true;
    CueSheet withText;
    ASSERT_EQ(BuildJobCueSheet(tracks, withText, cdText), ImageMeasure::Measured);
    EXPECT_EQ(Bytes(withText.begin(), withText.begin() + 8), (Bytes{0x41, 0, 0, 0x41, 0, 0, 0, 0}));
    EXPECT_TRUE(std::equal(sheet.begin() + 8, sheet.end(), withText.begin() + 8));
}

TEST_F(ImageFolder, AMissingFileIsNotFoundAndAnEmptyTrackIsUnreadable) {
    std::vector<WriterTrack> tracks(2);
    tracks[0].isData = true;
    tracks[0].imagePath = MakeFile("E000.iso", 2048);
    tracks[1].imagePath = Missing("E001.wav");
    CueSheet sheet{1, 2, 3};
    EXPECT_EQ(BuildJobCueSheet(tracks, sheet), ImageMeasure::NotFound);
    EXPECT_TRUE(sheet.empty());

    tracks[1].imagePath = MakeFile("E001.wav", 44 + 2000);  // header and less than a block
    EXPECT_EQ(MeasureImageFiles(tracks), ImageMeasure::Unreadable);
}

TEST(ImageMeasureJob, AJobWithoutTracksHasNothingToRecordFrom) {
    std::vector<WriterTrack> none;
    EXPECT_EQ(MeasureImageFiles(none), ImageMeasure::NotFound);
}

}  // namespace
}  // namespace vestrel
