// Writers against simulated recorders: every recorded copy is read back and
// compared with its source.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "drive/drive_lock.h"
#include "drive/file_system.h"
#include "drive/source_table.h"
#include "engine/image_files.h"
#include "engine/memory_panel.h"
#include "engine/reader_thread.h"
#include "engine/source_layout.h"
#include "engine/writer_thread.h"
#include "tests/copy/copy_fixture.h"
#include "tests/support/forwarding_file_system.h"

namespace vestrel {
namespace {

using namespace vestrel::sim::testing;
using testing::WriterBay;

// Clicks Skip Source whenever it is offered with no other way on.
void SkipWhenStuck(MemoryPanel& panel) {
    panel.SetObserver([](MemoryPanel& p, const MemoryPanel::Update& u) {
        if (u.links == panel_link::SkipSource ||
            u.links == (panel_link::SkipSource | panel_link::ChangeDisc)) {
            p.Click(panel_link::SkipSource, true);
        }
        if (u.links == panel_link::SkipCopy)
            p.Click(panel_link::SkipCopy);
    });
}

class WriterTest : public testing::CopyTest {
  protected:
    // Reads the source in `letter` into image files, as the reading page
    // does, and gives it the destinations.
    void ReadSource(char16_t letter, DiscType type, std::vector<DestinationEntry> destinations) {
        ReadSources({{letter, type, std::move(destinations)}});
    }
    // Reads the CD in D: for `copies` copies by F:, and runs F:'s writer
    // with a person who skips whatever stops it.
    void WriteCdSkipping(MemoryPanel& panel, uint32_t copies) {
        ReadSource(u'D', disc::CdRom, {{u'F', copies}});
        SkipWhenStuck(panel);
        Run(WriterThread, u'F', panel);
    }
};

TEST_F(WriterTest, TwoDvdCopiesOnDvdMinusRBlanksReadBackAsTheSource) {
    // 100 blocks: the reservation is rounded up to 112 and padded.
    const std::vector<uint8_t> bytes = PatternBytes(100 * 2048, 11);
    Bay bay(WriterBay(BaySpec().Iso("dvd", "DVD-ROM", bytes), "DVD-R").TakeFinished(),
            folder_.path());
    ReadSource(u'D', disc::DvdRom, {{u'F', 2}});
    MemoryPanel panel(u'F');
    Run(WriterThread, u'F', panel);

    EXPECT_EQ(panel.State().status, u"Finished sucessfully.");
    EXPECT_EQ(panel.GetRunState(), RunState::Finished);
    EXPECT_TRUE(testing::EverShown(panel, u"Writing to this copy is done."));
    EXPECT_EQ(panel.State().caption, u" - Source: 1/1, Label: (None), Copy: 2/2");

    const auto copies = CopiesBack(bay.simulator, u'D');
    ASSERT_EQ(copies.size(), 2u);
    for (const auto& back : copies) {
        ASSERT_EQ(back.size(), 1u);
        ASSERT_EQ(back[0].bytes.size(), 112u * 2048);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), back[0].bytes.begin()));
        EXPECT_TRUE(std::all_of(back[0].bytes.begin() + bytes.size(), back[0].bytes.end(),
                                [](uint8_t b) { return b == 0; }));
    }
}

TEST_F(WriterTest, TwoTrackCopiesOnBdRAndHdDvdRHaveEachTrackWhereTheDriveSays) {
    struct Row {
        const char* model;
        const char* blank;
        DiscType source;
    };
    const Row rows[] = {{"bd-re-recorder", "BD-R", disc::BdRom},
                        {"hd-dvd-drive", "HD DVD-R", disc::HdDvdRom}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.blank);
        // Neither track is a whole number of 32-block clusters: the second
        // starts at 128, where the drive's rounded reservation ends.
        SourceRecord source = ImageSource(r.source, {100, 70}, {{u'F', 1}});
        Bay bay(
            BaySpec().Drive('F', r.model).Drive('R', r.model).Blanks('F', r.blank).TakeFinished(),
            folder_.path());
        testing::QuickClock clock;
        MemoryPanel panel(u'F');
        panel.SetObserver([](MemoryPanel& p, const MemoryPanel::Update& u) {
            if (u.links == panel_link::SkipCopy)
                p.Click(panel_link::SkipCopy);
        });
        Run(WriterThread, u'F', panel);
        EXPECT_EQ(panel.State().status, u"Finished sucessfully.");

        const auto copies = CopiesBack(bay.simulator, u'R');
        ASSERT_EQ(copies.size(), 1u);
        const std::vector<SourceTrack>& back = copies[0];
        ASSERT_EQ(back.size(), 2u);
        const uint32_t reserved[] = {128, 96};
        for (size_t t = 0; t < 2; ++t) {
            std::vector<uint8_t> expected = ReadFile(fs::path(source.tracks[t].imagePath));
            expected.resize(size_t{reserved[t]} * 2048, 0);
            EXPECT_TRUE(back[t].bytes == expected) << "track " << t + 1;
        }
    }
}

TEST_F(WriterTest, AnAudioCdCopyMatchesSampleForSample) {
    const std::vector<SourceTrack> tracks = PatternTracks({-40, -31}, 12);
    Bay bay(BaySpec()
                .Cue("audio", tracks)
                .Drive('D', "dvd-rom-reader", "audio")
                .Drive('G', "bd-re-recorder")
                .Blanks('G', "CD-R")
                .TakeFinished(),
            folder_.path());
    ReadSource(u'D', disc::CdRom, {{u'G', 1}});
    MemoryPanel panel(u'G');
    Run(WriterThread, u'G', panel);
    EXPECT_EQ(panel.State().status, u"Finished sucessfully.");
    const auto copies = CopiesBack(bay.simulator, u'D');
    ASSERT_EQ(copies.size(), 1u);
    ASSERT_EQ(copies[0].size(), 2u);
    EXPECT_FALSE(copies[0][0].data);
    EXPECT_EQ(copies[0][0].bytes, tracks[0].bytes);
    EXPECT_EQ(copies[0][1].bytes, tracks[1].bytes);
}

// A data CD of `bytes`.
BaySpec CdSource(std::vector<uint8_t> bytes) {
    return BaySpec().Iso("cd", "CD-ROM", std::move(bytes));
}

// A data CD of `bytes` in reader D, and recorder F holding a used disc of
// `type`; the person closes any tray opened.
BaySpec UsedDiscBay(std::vector<uint8_t> bytes, const std::string& type) {
    return CdSource(std::move(bytes))
        .Drive('D', "dvd-rom-reader", "cd")
        .Used("used", type, 100)
        .Drive('F', "dvd-rw-dl-recorder", "used")
        .Operator("close-trays-after = 50");
}

TEST_F(WriterTest, ARefusedCueSheetOffersSkipSourceAndTheLastJobEndsTheWriter) {
    Bay bay(WriterBay(CdSource(PatternBytes(30 * 2048, 31)), "CD-R")
                .Fault('F', "refuse send-cue-sheet"),
            folder_.path());
    MemoryPanel panel(u'F');
    WriteCdSkipping(panel, 1);
    EXPECT_TRUE(testing::Offered(panel, u"Error: Drive has refused the cue sheet.",
                                 panel_link::SkipSource));
    EXPECT_EQ(panel.State().status, u"Terminated by user.");
    EXPECT_EQ(panel.GetRunState(), RunState::Stopped);
    EXPECT_FALSE(bay.simulator.Drive(u'F')->State().trayOpen) << "the disc is not ejected";
}

TEST_F(WriterTest, AUsedCdRIsRefusedAndTheTrayLeftForAnotherDisc) {
    Bay bay(UsedDiscBay(PatternBytes(30 * 2048, 32), "CD-R"), folder_.path());
    MemoryPanel panel(u'F');
    WriteCdSkipping(panel, 1);
    EXPECT_TRUE(testing::Offered(panel, u"The disc is not empty and can't be erased.",
                                 panel_link::SkipSource | panel_link::ChangeDisc));
    EXPECT_EQ(panel.State().status, u"Terminated by user.");
}

TEST_F(WriterTest, AWriteFailing15TimesInTheThirdTrackAbandonsTheCopy) {
    const std::vector<SourceTrack> tracks = PatternTracks({-30, -30, -30}, 33);
    Bay bay(WriterBay(BaySpec().Cue("audio", tracks), "CD-R")
                .Fault('F', "write-error 70 15")
                .TakeFinished(),
            folder_.path());
    MemoryPanel panel(u'F');
    WriteCdSkipping(panel, 2);
    EXPECT_TRUE(testing::Offered(panel, u"Cannot write data to disc (despite 15 retries).",
                                 panel_link::SkipCopy));
    EXPECT_TRUE(testing::Offered(panel, u"Skipping to the next copy...", 0));
    // The second copy is written whole, but the run does not end as if
    // every copy had been made.
    EXPECT_EQ(panel.State().status, u"Terminated by user.");
    EXPECT_EQ(panel.GetRunState(), RunState::Stopped);
    std::vector<sim::FinishedCopy> copies = bay.simulator.TakeFinishedCopies();
    ASSERT_EQ(copies.size(), 2u);
    ASSERT_TRUE(bay.simulator.LoadDisc(u'D', std::move(copies[1].disc)));
    std::vector<SourceTrack> back = ReadBack(u'D');
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[2].bytes, tracks[2].bytes);
}

// The platform's files, with chosen opens for reading failing.
class FailingOpens : public testing::ForwardingFileSystem {
  public:
    explicit FailingOpens(std::vector<int> failing) : failing_(std::move(failing)) {}
    std::unique_ptr<File> OpenRead(std::u16string_view p, uint32_t& e) override {
        int call;
        {
            std::lock_guard lock(mutex_);
            call = ++opens_;
        }
        if (std::find(failing_.begin(), failing_.end(), call) != failing_.end()) {
            e = 2;
            return nullptr;
        }
        return next_.OpenRead(p, e);
    }

  private:
    std::vector<int> failing_;  // the numbers of the calls that fail, from 1
    std::mutex mutex_;
    int opens_ = 0;
};

TEST_F(WriterTest, AnImageFileThatCannotBeOpenedOffersItsPathAndRetry) {
    const std::vector<uint8_t> bytes = PatternBytes(30 * 2048, 36);
    Bay bay(WriterBay(CdSource(bytes), "CD-R").TakeFinished(), folder_.path());
    ReadSource(u'D', disc::CdRom, {{u'F', 1}});
    FailingOpens files({2});  // the open after the files were measured
    MemoryPanel panel(u'F');
    std::thread person;
    panel.SetObserver([&person](MemoryPanel& p, const MemoryPanel::Update& u) {
        if (u.links != 0xC1)
            return;
        person = std::thread([&p] {
            p.Click(panel_link::ShowPath);
            while (p.GetUserReply() != 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            p.Click(panel_link::Retry);
        });
    });
    Run(WriterThread, u'F', panel);
    if (person.joinable())
        person.join();
    EXPECT_TRUE(testing::Offered(panel, u"Error: cannot open source's image file.", 0xC1));
    std::u16string path;
    {
        DriveLockGuard lock;
        path = SourceTable()[0].tracks[0].imagePath;
    }
    EXPECT_EQ(panel.Information(),
              std::vector<std::u16string>{u"Cannot open the file:\r\n" + path});
    EXPECT_EQ(panel.State().status, u"Finished sucessfully.");
    const auto copies = CopiesBack(bay.simulator, u'D');
    ASSERT_EQ(copies.size(), 1u);
    ASSERT_EQ(copies[0].size(), 1u);
    EXPECT_EQ(copies[0][0].bytes, bytes);
}

TEST_F(WriterTest, SkippingAMiddleSourceGoesOnWithTheNextButDoesNotEndAsFinished) {
    Bay bay(WriterBay(CdSource(PatternBytes(30 * 2048, 37)), "CD-R").TakeFinished(),
            folder_.path());
    ReadSource(u'D', disc::CdRom, {{u'F', 1}});
    {
        // The same source twice: the first job's image goes missing.
        DriveLockGuard lock;
        SourceRecord second = SourceTable()[0];
        second.driveLetter = u'E';
        SourceTable()[0].tracks[0].imagePath += u".gone";
        SourceTable().push_back(second);
    }
    MemoryPanel panel(u'F');
    SkipWhenStuck(panel);
    Run(WriterThread, u'F', panel);
    EXPECT_TRUE(testing::Offered(panel, u"Error: Temporary disc image files not found.",
                                 panel_link::SkipSource));
    EXPECT_TRUE(testing::Offered(panel, u"Skipping current source.", 0));
    EXPECT_EQ(bay.simulator.TakeFinishedCopies().size(), 1u);
    EXPECT_EQ(panel.State().status, u"Terminated by user.");
}

TEST_F(WriterTest, AUsedRewritableIsErasedOnYesAfterAChangeDisc) {
    const std::vector<uint8_t> bytes = PatternBytes(30 * 2048, 38);
    Bay bay(UsedDiscBay(bytes, "CD-RW"), folder_.path());
    ReadSource(u'D', disc::CdRom, {{u'F', 1}});
    MemoryPanel panel(u'F');
    int asked = 0;
    panel.SetObserver([&asked](MemoryPanel& p, const MemoryPanel::Update& u) {
        if (!(u.links & panel_link::Yes))
            return;
        p.Click(++asked == 1 ? panel_link::ChangeDisc : panel_link::Yes);
    });
    Run(WriterThread, u'F', panel);
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(testing::Offered(panel, u"Disc was erased successfully.", 0));
    EXPECT_EQ(panel.State().status, u"Finished sucessfully.");
    ASSERT_TRUE(bay.simulator.Drive(u'F')->State().trayOpen);
    bay.simulator.CloseTray(u'F');
    std::vector<SourceTrack> back = ReadBack(u'F');
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].bytes, bytes);
}

TEST_F(WriterTest, WriterJobsFollowTheSourceTable) {
    std::vector<SourceRecord> sources(3);
    sources[0].destinations = {{u'F', 3}};
    sources[1].destinations = {{u'G', 1}};
    sources[2].destinations = {{u'G', 2}, {u'F', 1}};
    sources[2].volumeLabel = u"MUSIC";
    std::vector<WriterJob> f = WriterJobsFor(u'F', sources);
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].copies, 3u);
    EXPECT_EQ(f[1].copies, 1u);
    EXPECT_EQ(f[1].label, u"MUSIC");
    EXPECT_TRUE(WriterJobsFor(u'H', sources).empty());
}

TEST(Recording, MediaRules) {
    struct Row {
        Blank blank;
        bool overwritable;
        bool closing;
        uint32_t unit;  // of reservations
    };
    const Row rows[] = {
        {{disc::CdR, 0x09}, false, false, 1},        {{disc::DvdPlusRw, 0x1A}, true, false, 1},
        {{disc::BdRe, 0x43}, true, false, 1},        {{disc::DvdRw, 0x14}, false, false, 16},
        {{disc::DvdR, 0x11}, false, false, 16},      {{disc::DvdPlusR, 0x1B}, false, true, 16},
        {{disc::DvdPlusRDl, 0x2B}, false, true, 16}, {{disc::BdR, 0x41}, false, true, 32},
        {{disc::HdDvdR, 0x51}, false, false, 32},    {{disc::HdDvdRw, 0x53}, false, false, 32},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.blank.profile);
        EXPECT_EQ(IsOverwritable(r.blank), r.overwritable);
        EXPECT_EQ(NeedsClosing(r.blank), r.closing);
        EXPECT_EQ(ReservationUnit(r.blank), r.unit);
    }
    EXPECT_EQ(ReservedBlocks(100, 16), 112u);
    EXPECT_EQ(ReservedBlocks(112, 16), 112u);
    EXPECT_EQ(ReservedBlocks(100, 32), 128u);
    EXPECT_EQ(ReservedBlocks(1, 32), 32u);
    EXPECT_EQ(ReservedBlocks(100, 1), 100u);
    // A job's size counts its tracks as they are reserved.
    std::vector<WriterTrack> tracks(2);
    tracks[0].blockCount = 100;
    tracks[1].blockCount = 33;
    EXPECT_EQ(RecordedBlocks(tracks, {disc::BdR, 0x41}), 192u);
    EXPECT_EQ(RecordedBlocks(tracks, {disc::DvdR, 0x11}), 160u);
    EXPECT_EQ(RecordedBlocks(tracks, {disc::CdR, 0x09}), 133u);
}

// The format chosen from what READ FORMAT CAPACITIES lists, per medium.
TEST(Recording, QuickFormatChoices) {
    auto listing = [](std::vector<uint8_t> types) {
        FormatCapacities c;
        c.currentKind = kUnformattedMedium;
        uint32_t blocks = 1000;
        for (uint8_t t : types)
            c.formats.push_back(FormatDescriptor{blocks++, t, 0x800});
        return c;
    };
    // "type/subtype of the first choice, size" or "none".
    auto first = [](const std::vector<FormatChoice>& choices) {
        if (choices.empty())
            return std::string("none");
        const FormatChoice& c = choices.front();
        return std::to_string(c.descriptor.type) + "/" + std::to_string(c.subtype) + " " +
               std::to_string(c.descriptor.blocks);
    };
    const Blank bdRe{disc::BdRe, 0x43};
    const Blank plusRw{disc::DvdPlusRw, 0x1A};
    const Blank ram{disc::DvdRam, 0x12};
    // The full format listed first is passed over for the quick one; of
    // two sizes of a type, the first (the drive's default) is taken.
    EXPECT_EQ(first(QuickFormatChoices(listing({0x00, 0x30, 0x30, 0x31}), bdRe)), "48/1 1001");
    EXPECT_EQ(QuickFormatChoices(listing({0x00, 0x30, 0x30, 0x31}), bdRe).size(), 3u);
    EXPECT_EQ(first(QuickFormatChoices(listing({0x00, 0x31}), bdRe)), "49/0 1001");
    EXPECT_EQ(first(QuickFormatChoices(listing({0x00}), bdRe)), "0/0 1000");
    EXPECT_EQ(first(QuickFormatChoices(listing({0x00, 0x26}), plusRw)), "38/0 1001");
    EXPECT_EQ(first(QuickFormatChoices(listing({0x00}), plusRw)), "none");
    EXPECT_EQ(first(QuickFormatChoices(listing({0x01, 0x00}), ram)), "0/0 1001");
}

}  // namespace
}  // namespace vestrel
