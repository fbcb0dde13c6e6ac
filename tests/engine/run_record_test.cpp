// The journal a run keeps and the lines of its report, on literal text.
#include <gtest/gtest.h>

#include <string>

#include "engine/copy_report.h"
#include "engine/run_journal.h"

namespace vestrel {
namespace {

constexpr char kPlan[] =
    "vestrel journal 1\n"
    "option copies 3\n"
    "option verify 1\n"
    "option report /runs/r.jsonl\n"
    "option own-images 1\n"
    "file 12 e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855 /im/a b.iso\n"
    "source 0 dvd /im/a b.iso\n";

TEST(RunJournal, WrittenAndReadBack) {
    Journal journal;
    std::string error;
    const std::string text = std::string(kPlan) + "made 0 F 1 {\"record\":\"copy\"}\nmade 0 G 2\n";
    ASSERT_TRUE(ParseJournal(text, journal, error)) << error;
    EXPECT_EQ(journal.copies, 3u);
    EXPECT_TRUE(journal.verify);
    EXPECT_TRUE(journal.ownImages);
    EXPECT_EQ(journal.report, u"/runs/r.jsonl");
    ASSERT_EQ(journal.files.size(), 1u);
    EXPECT_EQ(journal.files[0].size, 12u);
    EXPECT_EQ(journal.files[0].path, u"/im/a b.iso");
    EXPECT_EQ(journal.sources, (std::vector<JournalSource>{{"dvd", u"/im/a b.iso"}}));
    EXPECT_EQ(MadeCopies(journal, 0), 2u);
    EXPECT_EQ(journal.made[0].reportLine, "{\"record\":\"copy\"}\n");
    EXPECT_EQ(journal.made[1].recorder, u'G');

    std::string written = JournalPlanText(journal);
    for (const JournalMade& m : journal.made)
        written += JournalMadeLine(m);
    EXPECT_EQ(written, text);
}

TEST(RunJournal, DamagedLinesAreNamedAndACutLastLineIsLeftOut) {
    const struct {
        std::string tail;
        const char* error;  // nullptr: read, with one copy made
    } cases[] = {
        {"made 0 F 1\nmade 0 G 2", nullptr},  // the run died while writing
        {"made 1 F 1\n", "line 8: made copy of an unknown source"},
        {"made 0 f 1\n", "line 8: bad recorder letter"},
        {"made 0 F 0\n", "line 8: bad copy number"},
        {"made 0 F 1 record\n", "line 8: bad report line"},
        {"source 2 cd /x.iso\n", "line 8: sources out of order"},
        {"source 1 hd /x.iso\n", "line 8: unknown media"},
        {"option copies 100\n", "line 8: copies must be 1 to 99"},
        {"file 12 E3B0 /x.iso\n", "line 8: bad SHA-256"},
        {"made 0 F 1\r\n", "line 8: stray control character"},
        {"copied 0 F 1\n", "line 8: unknown line"},
    };
    for (const auto& c : cases) {
        Journal journal;
        std::string error;
        const bool read = ParseJournal(std::string(kPlan) + c.tail, journal, error);
        if (!c.error) {
            EXPECT_TRUE(read) << c.tail << ": " << error;
            EXPECT_EQ(journal.made.size(), 1u) << c.tail;
        } else {
            EXPECT_FALSE(read) << c.tail;
            EXPECT_EQ(error, c.error) << c.tail;
        }
    }
    Journal journal;
    std::string error;
    EXPECT_FALSE(ParseJournal("", journal, error));
    EXPECT_EQ(error, "line 1: not a vestrel journal");
    EXPECT_FALSE(ParseJournal("vestrel journal 1\noption copies 1\n", journal, error));
    EXPECT_EQ(error, "the journal names no source");
}

TEST(CopyReport, OneCopysLine) {
    ReportSource source;
    source.image = u"C:\\im\\\"a\".iso";
    source.label = u"L\u00e9\n";
    source.discType = disc::DvdRom;
    source.blocks = 3;
    source.bytes = 6144;
    source.sha256 = std::string(64, 'a');
    ReportRecorder recorder{u'F', u"ORBITA", u"DVDRW"};
    CopyAttempt a;
    a.recorder = u'F';
    a.copy = 2;
    a.copies = 3;
    a.blankType = disc::DvdR;
    a.writeSpeed = 11080;
    a.end = CopyEnd::Failed;
    a.status = u"The copy differs from its source at sector 7.";
    a.verification = Verification::Different;
    a.cdText = CdTextCopy::RecorderCannot;
    EXPECT_EQ(
        ReportCopyLine(source, recorder, a, 951782400000, 951868799999),
        "{\"record\":\"copy\",\"source\":{\"image\":\"C:\\\\im\\\\\\\"a\\\".iso\","
        "\"label\":\"L\xc3\xa9\\u000a\",\"disc_type\":\"DVD-ROM\",\"blocks\":3,\"bytes\":6144,"
        "\"sha256\":\"" +
            std::string(64, 'a') +
            "\"},\"recorder\":{\"drive\":\"F:\",\"vendor\":\"ORBITA\",\"product\":"
            "\"DVDRW\"},\"blank\":\"DVD-R\",\"write_speed_kbs\":11080,\"copy\":2,"
            "\"copies\":3,\"start\":\"2000-02-29T00:00:00.000Z\",\"end\":"
            "\"2000-02-29T23:59:59.999Z\",\"outcome\":\"failed\",\"status\":\"The copy "
            "differs from its source at sector 7.\",\"verified\":true,\"verification\":"
            "\"different\",\"cd_text\":\"not written: the recorder cannot record R-W\"}\n");
    EXPECT_EQ(IsoTime(0), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(IsoTime(4107542399999), "2100-02-28T23:59:59.999Z");
}

}  // namespace
}  // namespace vestrel
