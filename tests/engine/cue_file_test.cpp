// Cue sheet files on literal text, and the names a backup gives its files.
#include <gtest/gtest.h>

#include <vector>

#include "drive/text.h"
#include "engine/cue_file.h"
#include "engine/disc_backup.h"
#include "engine/image_files.h"
#include "four_track_marks.h"

namespace vestrel {
namespace {

TEST(CueFile, OneFilePerTrackEachStartingAtItsFileStart) {
    const std::vector<CueTrackFile> tracks = {
        {true, u"GAME-01.iso"}, {false, u"GAME-02.wav"}, {false, u"GAME-03.wav"}};
    EXPECT_EQ(TrackFilesCue(tracks),
              "FILE \"GAME-01.iso\" BINARY\n"
              "  TRACK 01 MODE1/2048\n"
              "    INDEX 01 00:00:00\n"
              "FILE \"GAME-02.wav\" WAVE\n"
              "  TRACK 02 AUDIO\n"
              "    INDEX 01 00:00:00\n"
              "FILE \"GAME-03.wav\" WAVE\n"
              "  TRACK 03 AUDIO\n"
              "    INDEX 01 00:00:00\n");
}

TEST(CueFile, ARawImageGivesEachTrackItsOffset) {
    // Track 2 at 150 sectors (00:02:00), track 3 at 150 + 4574 (01:02:74).
    const std::vector<CueRawTrack> tracks = {{true, 150}, {false, 4574}, {false, 1}};
    EXPECT_EQ(RawImageCue(u"My Disc-raw.bin", tracks),
              "FILE \"My Disc-raw.bin\" BINARY\n"
              "  TRACK 01 MODE1/2352\n"
              "    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n"
              "    INDEX 01 00:02:00\n"
              "  TRACK 03 AUDIO\n"
              "    INDEX 01 01:02:74\n");
    EXPECT_EQ(CueTime(100 * 4500 + 59 * 75 + 74), "100:59:74");
}

TEST(CueFile, WhatACueSheetCannotHoldIsRefused) {
    std::vector<CueTrackFile> tooMany(100, CueTrackFile{false, u"a.wav"});
    EXPECT_FALSE(TrackFilesCue(tooMany));
    tooMany.pop_back();
    EXPECT_TRUE(TrackFilesCue(tooMany));
    EXPECT_FALSE(TrackFilesCue({}));
    for (const char16_t* name : {u"", u"a\"b.iso", u"dir/a.iso", u"dir\\a.iso", u"a\nb.iso",
                                 u"\u00e9t\u00e9.iso", u".."}) {
        const std::vector<CueTrackFile> one = {{true, name}};
        EXPECT_FALSE(TrackFilesCue(one)) << "a name refused";
        EXPECT_FALSE(RawImageCue(name, std::vector<CueRawTrack>{{true, 1}}));
    }
    EXPECT_FALSE(RawImageCue(u"a.bin", std::vector<CueRawTrack>{{true, 1}, {false, 0}}));
    EXPECT_FALSE(RawImageCue(u"a.bin", {}));
}

using testing_marks::FourTrackMarks;
using testing_marks::kFourTrackSectors;

std::vector<CueTrackFile> FourTrackFiles() {
    std::vector<CueTrackFile> files;
    for (size_t i = 0; i < kFourTrackSectors.size(); ++i) {
        files.push_back({false,
                         u"D-0" + std::u16string(1, static_cast<char16_t>(u'1' + i)) + u".wav",
                         kFourTrackSectors[i]});
    }
    return files;
}

std::vector<CueRawTrack> FourRawTracks() {
    std::vector<CueRawTrack> raw;
    for (uint32_t sectors : kFourTrackSectors)
        raw.push_back({false, sectors});
    return raw;
}

// Each pre-gap is the tail of the file before (track 2's starts 150
// sectors before the end of track 1's 2550, at 00:32:00); hidden audio
// the head of track 1's.
TEST(CueMarks, TrackFilesKeepEachPreGapAtTheEndOfTheFileBefore) {
    EXPECT_EQ(TrackFilesCue(FourTrackFiles(), FourTrackMarks()),
              "CATALOG 0012345678905\n"
              "TITLE \"Album\"\n"
              "PERFORMER \"The Band\"\n"
              "FILE \"D-01.wav\" WAVE\n"
              "  TRACK 01 AUDIO\n"
              "    TITLE \"Hidden Intro\"\n"
              "    PERFORMER \"The Band\"\n"
              "    ISRC USRC17607839\n"
              "    INDEX 00 00:00:00\n"
              "    INDEX 01 00:30:00\n"
              "  TRACK 02 AUDIO\n"
              "    TITLE \"Two\"\n"
              "    ISRC GBAYE0000351\n"
              "    FLAGS PRE\n"
              "    INDEX 00 00:32:00\n"
              "FILE \"D-02.wav\" WAVE\n"
              "    INDEX 01 00:00:00\n"
              "FILE \"D-03.wav\" WAVE\n"
              "  TRACK 03 AUDIO\n"
              "    TITLE \"Three\"\n"
              "    SONGWRITER \"Ann\"\n"
              "    ISRC FRZ039800212\n"
              "    INDEX 01 00:00:00\n"
              "    INDEX 02 00:02:50\n"
              "  TRACK 04 AUDIO\n"
              "    TITLE \"Four\"\n"
              "    FLAGS DCP 4CH\n"
              "    INDEX 00 00:03:12\n"
              "FILE \"D-04.wav\" WAVE\n"
              "    INDEX 01 00:00:00\n");
}

TEST(CueMarks, ReadBackFromTheText) {
    const DiscMarks marks = FourTrackMarks();
    CueReadError error;
    DiscMarks read;
    const auto raw = ReadCueSheet(*RawImageCue(u"D-raw.bin", FourRawTracks(), marks), error, &read);
    ASSERT_TRUE(raw) << error.line << ": " << error.text;
    EXPECT_EQ(read, marks);
    ASSERT_EQ(raw->front().tracks.size(), 4u);
    EXPECT_EQ(raw->front().tracks[1].start, 2550u);
    EXPECT_EQ(raw->front().tracks[3].start, 3450u);

    // Over track files a pre-gap's length takes the size of the file before,
    // which the text does not hold: the reader says where it starts.
    const auto split = ReadCueSheet(*TrackFilesCue(FourTrackFiles(), marks), error, &read);
    ASSERT_TRUE(split) << error.line << ": " << error.text;
    ASSERT_EQ(split->size(), 4u);
    EXPECT_EQ((*split)[1].tracks.at(0).number, 2u);
    EXPECT_EQ((*split)[1].tracks[0].preGapInFileBefore, 2400u);
    EXPECT_EQ((*split)[2].tracks.size(), 1u);
    EXPECT_EQ((*split)[3].tracks.at(0).preGapInFileBefore, 237u);
    EXPECT_FALSE((*split)[2].tracks[0].preGapInFileBefore);
    DiscMarks expected = marks;
    expected.tracks[1].preGap = 0;
    expected.tracks[3].preGap = 0;
    EXPECT_EQ(read, expected);
}

TEST(CueMarks, MarksACueSheetCannotHoldAreRefused) {
    const struct {
        const char* what;
        void (*spoil)(DiscMarks&);
    } spoiled[] = {
        {"a quote in a title", [](DiscMarks& m) { m.tracks[2].texts.title = "12\" mix"; }},
        {"a line break in the album's performer", [](DiscMarks& m) { m.texts.performer = "A\nB"; }},
        {"MCN of 12 digits", [](DiscMarks& m) { m.catalogNumber = "001234567890"; }},
        {"ISRC of 11", [](DiscMarks& m) { m.tracks[0].isrc = "USRC1760783"; }},
        {"the data bit as a flag", [](DiscMarks& m) { m.tracks[1].flags = 0x4; }},
        {"a pre-gap as long as the track before", [](DiscMarks& m) { m.tracks[1].preGap = 2550; }},
        {"hidden audio on track 2", [](DiscMarks& m) { m.tracks[1].hiddenAudio = 1; }},
        {"hidden audio past track 1", [](DiscMarks& m) { m.tracks[0].hiddenAudio = 2550; }},
        {"INDEX 02 at the track's end", [](DiscMarks& m) { m.tracks[2].indexes = {500}; }},
        {"INDEX 02 at INDEX 01", [](DiscMarks& m) { m.tracks[2].indexes = {0}; }},
        {"indexes not rising",
         [](DiscMarks& m) {
             m.tracks[2].indexes = {200, 200};
         }},
        {"marks for three tracks of four", [](DiscMarks& m) { m.tracks.pop_back(); }},
    };
    ASSERT_TRUE(TrackFilesCue(FourTrackFiles(), FourTrackMarks()));
    ASSERT_TRUE(RawImageCue(u"D-raw.bin", FourRawTracks(), FourTrackMarks()));
    for (const auto& s : spoiled) {
        DiscMarks m = FourTrackMarks();
        s.spoil(m);
        EXPECT_FALSE(TrackFilesCue(FourTrackFiles(), m)) << s.what;
        EXPECT_FALSE(RawImageCue(u"D-raw.bin", FourRawTracks(), m)) << s.what;
    }
    // A pre-gap in a data track's file cannot begin an audio track's: one
    // raw image holds it, separate files cannot.
    std::vector<CueTrackFile> files = FourTrackFiles();
    std::vector<CueRawTrack> raw = FourRawTracks();
    files[0].isData = raw[0].isData = true;
    files[0].fileName = u"D-01.iso";
    DiscMarks m = FourTrackMarks();
    m.tracks[0].hiddenAudio = 0;
    EXPECT_FALSE(TrackFilesCue(files, m));
    EXPECT_TRUE(RawImageCue(u"D-raw.bin", raw, m));
    m.tracks[1].preGap = 0;
    EXPECT_TRUE(TrackFilesCue(files, m));
}

TEST(DiscBackup, LabelsBecomeNamesFitForEverySystem) {
    const struct {
        const char16_t* label;
        const char16_t* name;
    } cases[] = {
        {u"VESTREL_SAMPLE", u"VESTREL_SAMPLE"},
        {u"Audio CD", u"Audio_CD"},
        {u"  My: \"Disc\" / 2?  ", u"My_Disc_2"},
        {u"..hidden..", u"hidden"},
        {u"\u00c9t\u00e9 1999", u"t_1999"},
        {u"con", u"con_"},
        {u"LPT1.X", u"LPT1_.X"},
        {u"COM10", u"COM10"},
        {u"???", u""},
        {u"", u""},
        {u"A-very-long-label-that-goes-on-and-on-and-on-well-past-sixty-four_characters",
         u"A-very-long-label-that-goes-on-and-on-and-on-well-past-sixty-fou"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeFileName(c.label), c.name) << ToUtf8(c.label);
}

SourceRecord Disc(char16_t letter, const char16_t* label, std::vector<bool> dataTracks) {
    SourceRecord s;
    s.driveLetter = letter;
    s.volumeLabel = label;
    for (bool isData : dataTracks) {
        TrackRecord t;
        t.isData = isData;
        s.tracks.push_back(t);
    }
    return s;
}

std::vector<std::u16string> Names(const std::vector<SourceRecord>& sources) {
    std::vector<std::u16string> names;
    for (const SourceRecord& s : sources) {
        for (const TrackRecord& t : s.tracks)
            names.push_back(t.imagePath);
    }
    return names;
}

TEST(DiscBackup, EachDiscIsNamedSoThatNoTwoCollide) {
    // Two audio CDs of the same label, a disc without one, a disc left out.
    std::vector<SourceRecord> sources = {
        Disc(u'D', u"Audio CD", {false, false}), Disc(u'E', u"audio cd", {false}),
        Disc(u'F', u"", {true}), Disc(u'G', u"FILM", {}), Disc(u'H', u"GAME", {true, false})};
    EXPECT_EQ(BackupBaseNames(sources), (std::vector<std::u16string>{u"Audio_CD_D", u"audio_cd_E",
                                                                     u"Disc_F", u"FILM", u"GAME"}));
    std::vector<BackupFiles> files = PlanBackupFiles(sources, u"out");
    const std::u16string dir = std::u16string(u"out") + kPathSeparator;
    EXPECT_EQ(Names(sources),
              (std::vector<std::u16string>{dir + u"Audio_CD_D-01.wav", dir + u"Audio_CD_D-02.wav",
                                           dir + u"audio_cd_E.wav", dir + u"Disc_F.iso",
                                           dir + u"GAME-01.iso", dir + u"GAME-02.wav"}));
    EXPECT_EQ(files[0].cueSheet, dir + u"Audio_CD_D.cue");
    EXPECT_EQ(files[0].rawImage, dir + u"Audio_CD_D-raw.bin");
    EXPECT_EQ(files[0].rawCueSheet, dir + u"Audio_CD_D-raw.cue");
    EXPECT_EQ(files[2].cueSheet, dir + u"Disc_F.cue");
    EXPECT_TRUE(files[2].rawImage.empty()) << "a data disc needs no raw image";
    EXPECT_TRUE(files[3].cueSheet.empty()) << "a disc left out gets no files";
    EXPECT_EQ(BackupPaths(sources, files).size(), 5u + 4 + 2 + 5);

    // A label that names another disc's track file: every disc is then
    // named by its drive letter.
    sources = {Disc(u'D', u"X", {true, true}), Disc(u'E', u"X-01", {true})};
    EXPECT_EQ(BackupBaseNames(sources), (std::vector<std::u16string>{u"Disc_D", u"Disc_E"}));
}

}  // namespace
}  // namespace vestrel
