// The writer's failure and user paths against simulated recorders: a stop
// in the middle of a copy, a blank of the wrong type, a refused track
// reservation and an image file that goes missing while recording. Each
// checks the texts and links shown, what ended up on disc and which image
// files are left for the writing page to delete.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "drive/source_table.h"
#include "engine/copy_coordination.h"
#include "engine/image_store.h"
#include "engine/memory_panel.h"
#include "engine/writer_thread.h"
#include "tests/copy/copy_fixture.h"

namespace vestrel {
namespace {

using namespace vestrel::sim::testing;
using testing::CommandTrail;
using testing::EverShown;
using testing::Offered;
using testing::WriterBay;

constexpr uint16_t kCdRProfile = 0x0009;

size_t Count(const std::vector<uint16_t>& ops, uint16_t op) {
    return static_cast<size_t>(std::count(ops.begin(), ops.end(), op));
}

// The commands from the last WRITE (10) on.
std::vector<uint16_t> AfterLastWrite(const std::vector<uint16_t>& ops) {
    auto last = std::find(ops.rbegin(), ops.rend(), opcode::Write10);
    if (last == ops.rend())
        return {};
    return std::vector<uint16_t>(last.base() - 1, ops.end());
}

// Reads `count` blocks from `lba` of the disc in `letter`, data or audio.
ScsiResult ReadBlocks(char16_t letter, uint32_t lba, uint32_t count, bool data,
                      std::vector<uint8_t>& out) {
    out.assign(size_t{count} * (data ? kDataSectorSize : kAudioSectorSize), 0);
    return data ? SendRead10(letter, lba, static_cast<uint16_t>(count), out)
                : SendReadCd(letter, lba, count, out);
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t from, size_t size) {
    return std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                                bytes.begin() + static_cast<std::ptrdiff_t>(from + size));
}

class WriterPathsTest : public testing::CopyTest {};

TEST_F(WriterPathsTest, AStopInTheSecondTrackEndsTheWriterAndLeavesAPartialDiscInTheTray) {
    const std::vector<SourceTrack> tracks = PatternTracks({-30, -60, -30}, 51);
    const SourceTrack &one = tracks[0], &two = tracks[1];
    Bay bay(WriterBay(BaySpec().Cue("audio", tracks), "CD-R"), folder_.path());
    std::vector<SourceRecord> sources = ReadSources({{u'D', disc::CdRom, {{u'F', 2}}}});
    CommandTrail trail(bay.simulator);
    MemoryPanel panel(u'F');
    std::chrono::steady_clock::time_point stoppedAt{};
    panel.SetObserver([&stoppedAt](MemoryPanel& p, const MemoryPanel::Update& u) {
        if (u.status == u"Writing track 2 of 3...") {
            stoppedAt = std::chrono::steady_clock::now();
            p.RequestStop();
        }
    });
    Run(WriterThread, u'F', panel);
    EXPECT_LT(std::chrono::steady_clock::now() - stoppedAt, std::chrono::seconds(5));

    EXPECT_EQ(panel.State().status, u"Terminated by user.");
    EXPECT_EQ(panel.GetRunState(), RunState::Stopped);
    ASSERT_FALSE(panel.Updates().empty());
    EXPECT_EQ(panel.Updates().back().how, panel_update::StoppedWithLinks);
    EXPECT_EQ(panel.Links(), 0u);
    EXPECT_FALSE(EverShown(panel, u"Synchronising cache..."));
    EXPECT_FALSE(EverShown(panel, u"Writing to this copy is done."));
    EXPECT_FALSE(EverShown(panel, u"Writing track 3 of 3..."));
    EXPECT_EQ(panel.State().caption, u" - Source: 1/1, Label: (None), Copy: 1/2")
        << "the second copy is never begun";

    // The chunk under way is written; then the whole first track is made
    // readable, the tray opened, and the drive's streaming defaults restored.
    std::vector<uint16_t> f = trail.Of(u'F');
    EXPECT_EQ(Count(f, opcode::Write10), 15u + 2u + 1u);
    EXPECT_EQ(AfterLastWrite(f),
              (std::vector<uint16_t>{opcode::Write10, opcode::SynchronizeCache,
                                     CommandTrail::kEject, opcode::SetStreaming}));
    EXPECT_EQ(Count(f, opcode::SendCueSheet), 1u);

    EXPECT_TRUE(bay.simulator.Drive(u'F')->WithDisc(
        [](sim::Disc* d) { return d != nullptr && d->recordedBy == u'F'; }));
    bay.simulator.CloseTray(u'F');
    std::vector<uint8_t> back;
    ASSERT_TRUE(ReadBlocks(u'F', 0, 30, false, back).ok());
    EXPECT_EQ(back, one.bytes);
    ASSERT_TRUE(ReadBlocks(u'F', 30, 25, false, back).ok());
    EXPECT_EQ(back, Slice(two.bytes, 0, 25 * 2352));
    EXPECT_TRUE(Sensed(ReadBlocks(u'F', 55, 1, false, back), 3, 0x11, 0))
        << "nothing past the chunk that was under way";

    // The writer leaves the image files; the page deletes them once no
    // writer runs, and the run does not count as copied.
    EXPECT_EQ(ImageFilesLeft(), (std::vector<std::string>{"D000.wav", "D001.wav", "D002.wav"}));
    WritingEnd end = WritingPageEnd({panel.GetRunState()}, sources);
    EXPECT_TRUE(end.deleteImageFiles);
    EXPECT_EQ(end.copyOutcome, 0);
    DeleteImageFiles(sources);
    EXPECT_TRUE(ImageFilesLeft().empty());
}

TEST_F(WriterPathsTest, AStopInTheFirstTrackOfADvdEjectsWithoutSynchronising) {
    Bay bay(WriterBay(BaySpec().Iso("dvd", "DVD-ROM", PatternBytes(200 * 2048, 54)), "DVD-R"),
            folder_.path());
    ReadSources({{u'D', disc::DvdRom, {{u'F', 1}}}});
    CommandTrail trail(bay.simulator);
    MemoryPanel panel(u'F');
    panel.SetObserver([](MemoryPanel& p, const MemoryPanel::Update& u) {
        if (u.status == u"Writing track 1 of 1...")
            p.RequestStop();
    });
    Run(WriterThread, u'F', panel);

    EXPECT_EQ(panel.State().status, u"Terminated by user.");
    EXPECT_EQ(panel.GetRunState(), RunState::Stopped);
    std::vector<uint16_t> f = trail.Of(u'F');
    EXPECT_EQ(Count(f, opcode::ReserveTrack), 1u);
    EXPECT_EQ(Count(f, opcode::Write10), 1u);
    EXPECT_EQ(Count(f, opcode::SynchronizeCache), 0u) << "no whole track was written";
    EXPECT_EQ(AfterLastWrite(f),
              (std::vector<uint16_t>{opcode::Write10, CommandTrail::kEject, opcode::SetStreaming}));
    EXPECT_EQ(ImageFilesLeft(), std::vector<std::string>{"D000.iso"});
}

TEST_F(WriterPathsTest, ADvdBlankForACdSourceIsChangedForACdRAndRecorded) {
    const std::vector<uint8_t> bytes = PatternBytes(40 * 2048, 55);
    Bay bay(WriterBay(BaySpec().Iso("cd", "CD-ROM", bytes), "DVD-R").TakeFinished(),
            folder_.path());
    ReadSources({{u'D', disc::CdRom, {{u'F', 1}}}});
    MemoryPanel panel(u'F');
    int refused = 0;
    // The person clicks Change Disc and swaps the DVD-R for a CD-R; the
    // operator closes the tray over it.
    panel.SetObserver([&](MemoryPanel& p, const MemoryPanel::Update& u) {
        if (u.status != u"The disc is not of a compatible type.")
            return;
        ++refused;
        p.Click(panel_link::ChangeDisc);
        bay.simulator.RemoveDisc(u'F');
        bay.simulator.InsertDisc(u'F', bay.simulator.MakeBlank(kCdRProfile));
    });
    Run(WriterThread, u'F', panel);

    EXPECT_EQ(refused, 1);
    EXPECT_TRUE(Offered(panel, u"The disc is not of a compatible type.",
                        panel_link::SkipSource | panel_link::ChangeDisc));
    EXPECT_TRUE(Offered(panel, u"Insert a compatible blank disc to write to.",
                        panel_link::SkipSource | panel_link::DiscTypes));
    EXPECT_EQ(panel.State().status, u"Finished sucessfully.");
    EXPECT_EQ(panel.GetRunState(), RunState::Finished);
    std::vector<sim::FinishedCopy> copies = bay.simulator.TakeFinishedCopies();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].disc->profile(), kCdRProfile);
    ASSERT_TRUE(bay.simulator.LoadDisc(u'D', std::move(copies[0].disc)));
    std::vector<SourceTrack> back = ReadBack(u'D');
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].bytes, bytes);
}

TEST_F(WriterPathsTest, SkipSourceOnAnIncompatibleBlankGoesOnWithTheNextSource) {
    const std::vector<uint8_t> cd = PatternBytes(30 * 2048, 57);
    const BaySpec discs =
        BaySpec().Iso("dvd", "DVD-ROM", PatternBytes(40 * 2048, 56)).Iso("cd", "CD-ROM", cd);
    Bay bay(WriterBay(discs, "CD-R").TakeFinished(), folder_.path());
    std::vector<SourceRecord> sources =
        ReadSources({{u'D', disc::DvdRom, {{u'F', 1}}}, {u'E', disc::CdRom, {{u'F', 1}}}});
    MemoryPanel panel(u'F');
    // While it waits for a blank, the user reply holds the source's type
    // for the Disc Types link.
    std::vector<uint32_t> typesAsked;
    panel.SetObserver([&typesAsked](MemoryPanel& p, const MemoryPanel::Update& u) {
        if (u.status == u"Insert a compatible blank disc to write to.")
            typesAsked.push_back(p.GetUserReply());
        if (u.status == u"The disc is not of a compatible type.")
            p.Click(panel_link::SkipSource, true);
    });
    Run(WriterThread, u'F', panel);
    EXPECT_EQ(typesAsked, (std::vector<uint32_t>{disc::DvdRom, disc::CdRom}));

    EXPECT_TRUE(Offered(panel, u"The disc is not of a compatible type.",
                        panel_link::SkipSource | panel_link::ChangeDisc));
    EXPECT_TRUE(Offered(panel, u"Skipping current source.", 0));
    EXPECT_EQ(panel.State().caption, u" - Source: 2/2, Label: (None), Copy: 1/1");
    // The CD-R refused for the DVD takes the CD; the skipped source keeps
    // the run from ending as finished.
    EXPECT_EQ(panel.State().status, u"Terminated by user.");
    EXPECT_EQ(panel.GetRunState(), RunState::Stopped);
    const auto copies = CopiesBack(bay.simulator, u'E');
    ASSERT_EQ(copies.size(), 1u);
    ASSERT_EQ(copies[0].size(), 1u);
    EXPECT_EQ(copies[0][0].bytes, cd);
    EXPECT_EQ(ImageFilesLeft(), (std::vector<std::string>{"D000.iso", "E000.iso"}));
}

TEST_F(WriterPathsTest, ARefusedTrackReservationOffersSkipSourceWhichEndsTheLastJob) {
    Bay bay(WriterBay(BaySpec().Iso("dvd", "DVD-ROM", PatternBytes(40 * 2048, 58)), "DVD-R")
                .Fault('F', "refuse reserve-track"),
            folder_.path());
    ReadSources({{u'D', disc::DvdRom, {{u'F', 2}}}});
    CommandTrail trail(bay.simulator);
    MemoryPanel panel(u'F');
    panel.SetObserver([](MemoryPanel& p, const MemoryPanel::Update& u) {
        if (u.links == panel_link::SkipSource)
            p.Click(panel_link::SkipSource, true);
    });
    Run(WriterThread, u'F', panel);

    EXPECT_TRUE(
        Offered(panel, u"Error: Drive has refused to reserve a track.", panel_link::SkipSource));
    EXPECT_EQ(panel.State().status, u"Terminated by user.");
    EXPECT_EQ(panel.GetRunState(), RunState::Stopped);
    EXPECT_EQ(panel.State().caption, u" - Source: 1/1, Label: (None), Copy: 1/2")
        << "Skip Source gives up every copy of the source";
    std::vector<uint16_t> f = trail.Of(u'F');
    EXPECT_EQ(Count(f, opcode::ReserveTrack), 1u);
    EXPECT_EQ(Count(f, opcode::Write10), 0u);
    // Nothing was written: the blank stays in the closed tray as it came.
    EXPECT_FALSE(bay.simulator.Drive(u'F')->State().trayOpen);
    EXPECT_TRUE(bay.simulator.Drive(u'F')->WithDisc(
        [](sim::Disc* d) { return d != nullptr && d->status() == sim::DiscStatus::Empty; }));
    EXPECT_EQ(ImageFilesLeft(), std::vector<std::string>{"D000.iso"});
}

TEST_F(WriterPathsTest, AnImageFileMissingWhileRecordingIsShownAndItsSourceSkipped) {
    const std::vector<SourceTrack> tracks = PatternTracks({-30, -20, 30}, 59);
    const SourceTrack &one = tracks[0], &two = tracks[1];
    const std::vector<uint8_t>& data = tracks[2].bytes;
    Bay bay(WriterBay(BaySpec().Cue("audio", {one, two}).Iso("cd", "CD-ROM", data), "CD-R")
                .TakeFinished(),
            folder_.path());
    std::vector<SourceRecord> sources =
        ReadSources({{u'D', disc::CdRom, {{u'F', 1}}}, {u'E', disc::CdRom, {{u'F', 1}}}});
    const std::u16string missing = sources[0].tracks[1].imagePath;
    CommandTrail trail(bay.simulator);
    MemoryPanel panel(u'F');
    std::thread person;
    bool removed = false;
    // The second track's file goes after the job's files were measured; the
    // person looks at the path and then skips the source.
    panel.SetObserver([&](MemoryPanel& p, const MemoryPanel::Update& u) {
        if (u.status == u"Ejecting disc..." && !removed) {
            removed = fs::remove(fs::path(missing));
        }
        if (u.links == (panel_link::SkipSource | panel_link::ShowPath | panel_link::Retry) &&
            !person.joinable()) {
            person = std::thread([&p] {
                p.Click(panel_link::ShowPath);
                while (p.GetUserReply() != 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                p.Click(panel_link::SkipSource, true);
            });
        }
    });
    Run(WriterThread, u'F', panel);
    if (person.joinable())
        person.join();

    ASSERT_TRUE(removed);
    EXPECT_TRUE(Offered(panel, u"Error: cannot open source's image file.",
                        panel_link::SkipSource | panel_link::ShowPath | panel_link::Retry));
    EXPECT_EQ(panel.Information(),
              std::vector<std::u16string>{u"Cannot open the file:\r\n" + missing});
    EXPECT_TRUE(Offered(panel, u"Skipping current source.", 0));
    EXPECT_EQ(panel.State().status, u"Terminated by user.");
    EXPECT_EQ(panel.GetRunState(), RunState::Stopped);
    // The first track was written whole: synchronised before the eject.
    std::vector<uint16_t> f = trail.Of(u'F');
    auto firstSync = std::find(f.begin(), f.end(), opcode::SynchronizeCache);
    ASSERT_NE(firstSync, f.end());
    EXPECT_EQ(*(firstSync + 1), CommandTrail::kEject);

    // Two discs came out: the first copy holds the first track only, the
    // second is the whole next source.
    std::vector<sim::FinishedCopy> copies = bay.simulator.TakeFinishedCopies();
    ASSERT_EQ(copies.size(), 2u);
    ASSERT_TRUE(bay.simulator.LoadDisc(u'D', std::move(copies[0].disc)));
    std::vector<uint8_t> back;
    ASSERT_TRUE(ReadBlocks(u'D', 0, 30, false, back).ok());
    EXPECT_EQ(back, one.bytes);
    EXPECT_TRUE(Sensed(ReadBlocks(u'D', 30, 1, false, back), 3, 0x11, 0));
    ASSERT_TRUE(bay.simulator.LoadDisc(u'E', std::move(copies[1].disc)));
    std::vector<SourceTrack> whole = ReadBack(u'E');
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].bytes, data);

    EXPECT_EQ(ImageFilesLeft(), (std::vector<std::string>{"D000.wav", "E000.iso"}));
    DeleteImageFiles(sources);
    EXPECT_TRUE(ImageFilesLeft().empty());
    EXPECT_FALSE(fs::exists(folder_ / "img"));
}

// Recorder F of `model` with a fault unless it is empty, brought `blank`s
// by the operator.
BaySpec RecorderWithBlanks(const std::string& model, const std::string& blank,
                           const std::string& fault = "") {
    BaySpec bay;
    bay.Drive('F', model);
    if (!fault.empty())
        bay.With("fault = " + fault);
    return bay.Blanks('F', blank);
}

// Clicks Skip copy, and Skip Source where nothing else leads on, so that a
// failure ends the run instead of holding it.
void SkipPastFailures(MemoryPanel& panel) {
    panel.SetObserver([](MemoryPanel& p, const MemoryPanel::Update& u) {
        if (u.links == panel_link::SkipCopy)
            p.Click(panel_link::SkipCopy);
        else if ((u.links & panel_link::SkipSource) &&
                 !(u.links & (panel_link::Eject | panel_link::DiscTypes)))
            p.Click(panel_link::SkipSource, true);
    });
}

TEST_F(WriterPathsTest, CacheCloseFormatAndAddressTroublesAreEachReportedForWhatTheyAre) {
    struct Row {
        const char* fault;
        const char* blank;
        DiscType source;
        std::u16string status;
        uint32_t links;
        bool written;  // any WRITE (10) sent
    };
    const Row rows[] = {
        // The drive writes its cache for longer than 15 quick tries would wait.
        {"long-sync 40", "DVD-R", disc::DvdRom, u"Finished sucessfully.", 0, true},
        {"long-sync 4000", "DVD-R", disc::DvdRom, u"Cannot write the drive's cache to the disc.",
         panel_link::SkipCopy, true},
        {"close-fails", "DVD+R", disc::DvdRom, u"Cannot close the disc.", panel_link::SkipCopy,
         true},
        {"format-fails", "BD-RE", disc::BdRom, u"Cannot format the disc.", panel_link::SkipCopy,
         false},
        {"nwa-offset 16", "DVD-R", disc::DvdRom,
         u"Error: the drive would write track 1 at block 16, not 0.", panel_link::SkipCopy, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.fault);
        ImageSource(r.source, {100}, {{u'F', 1}});
        Bay bay(RecorderWithBlanks("bd-re-recorder", r.blank, r.fault), folder_.path());
        testing::QuickClock clock;
        CommandTrail trail(bay.simulator);
        MemoryPanel panel(u'F');
        SkipPastFailures(panel);
        Run(WriterThread, u'F', panel);

        EXPECT_TRUE(Offered(panel, r.status, r.links));
        EXPECT_FALSE(EverShown(panel, u"Cannot write data to disc (despite 15 retries)."));
        EXPECT_EQ(panel.State().status,
                  r.links ? u"Terminated by user." : u"Finished sucessfully.");
        std::vector<uint16_t> f = trail.Of(u'F');
        EXPECT_EQ(Count(f, opcode::Write10) > 0, r.written);
        if (r.links) {
            EXPECT_EQ(f.back(), opcode::SetStreaming);
            EXPECT_EQ(f[f.size() - 2], CommandTrail::kEject) << "the disc is given back";
        }
    }
}

TEST_F(WriterPathsTest, ClosingFollowsTheDrivesProgressAndAStopLeavesTheDriveClosing) {
    for (bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "stopped while closing" : "closed");
        ImageSource(disc::DvdPlusRDl, {100}, {{u'F', 1}});
        // Finalizing takes the drive ten minutes.
        Bay bay(RecorderWithBlanks("dvd-rw-dl-recorder", "DVD+R DL", "long-close 600000"),
                folder_.path());
        testing::QuickClock clock;
        ResetProgressRationing();
        CommandTrail trail(bay.simulator);
        MemoryPanel panel(u'F');
        std::vector<uint32_t> before;  // the bar when closing began
        panel.SetObserver([&](MemoryPanel& p, const MemoryPanel::Update& u) {
            if (u.status != u"Closing the disc...")
                return;
            before = p.ProgressPositions();
            if (stop)
                p.RequestStop();
        });
        Run(WriterThread, u'F', panel);

        ASSERT_FALSE(before.empty());
        EXPECT_EQ(before.back(), 1000u) << "every track was written";
        std::vector<uint32_t> closing = panel.ProgressPositions();
        closing.erase(closing.begin(),
                      closing.begin() + static_cast<std::ptrdiff_t>(before.size()));
        std::vector<uint16_t> f = trail.Of(u'F');
        const auto close = std::find(f.begin(), f.end(), opcode::CloseTrackSession);
        ASSERT_NE(close, f.end());
        if (!stop) {
            EXPECT_EQ(panel.State().status, u"Finished sucessfully.");
            // The bar starts over and follows the drive, once a second at
            // most, about 600 times.
            EXPECT_GT(closing.size(), 500u);
            EXPECT_TRUE(std::is_sorted(closing.begin(), closing.end()));
            EXPECT_LT(closing.front(), 10u);
            EXPECT_GT(closing.back(), 990u);
            EXPECT_EQ(f.back(), opcode::SetStreaming);
            EXPECT_EQ(f[f.size() - 2], CommandTrail::kEject);
        } else {
            // The drive cannot be stopped closing; the writer stops waiting
            // and leaves it the disc.
            EXPECT_EQ(panel.State().status, u"Terminated by user.");
            EXPECT_EQ(std::count(close, f.end(), CommandTrail::kEject), 0);
            EXPECT_FALSE(bay.simulator.Drive(u'F')->State().trayOpen);
            EXPECT_TRUE(bay.simulator.Drive(u'F')->State().busy);
        }
    }
}

TEST_F(WriterPathsTest, ANewOverwritableBlankGetsTheQuickFormatItsDriveOffers) {
    struct Row {
        const char* blank;
        DiscType source;
        int format;  // byte 4 of the format descriptor: type << 2 | subtype
    };
    const Row rows[] = {
        {"BD-RE", disc::BdRom, 0x30 << 2 | 0x01},  // spare areas, no certification
        {"DVD+RW", disc::DvdRom, 0x26 << 2},       // background format
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.blank);
        ImageSource(r.source, {100}, {{u'F', 1}});
        Bay bay(RecorderWithBlanks("bd-re-recorder", r.blank, "long-format 120000"),
                folder_.path());
        testing::QuickClock clock;
        ResetProgressRationing();
        MemoryPanel panel(u'F');
        SkipPastFailures(panel);
        Run(WriterThread, u'F', panel);
        EXPECT_EQ(panel.State().status, u"Finished sucessfully.");
        EXPECT_TRUE(Offered(panel, u"Formatting the disc...", 0));
        EXPECT_EQ(bay.simulator.Drive(u'F')->State().lastFormat, r.format);
        // The bar followed the format before it followed the writing.
        std::vector<uint32_t> positions = panel.ProgressPositions();
        EXPECT_GT(std::count_if(positions.begin(), positions.end(),
                                [](uint32_t p) { return p > 0 && p < 1000; }),
                  100);
    }
}

TEST_F(WriterPathsTest, ABlankTooSmallForTheCopyIsRefusedBeforeAnythingIsWritten) {
    struct Row {
        const char* name;
        DiscType source;
        std::vector<uint32_t> blocks;
        const char* blank;
    };
    const Row rows[] = {
        {"a 90-minute CD on an 80-minute CD-R", disc::CdRom, {360000}, "CD-R"},
        {"a DVD-R's worth on a DVD+R", disc::DvdRom, {2296000}, "DVD+R"},
        {"a BD-R's worth on a BD-RE", disc::BdRom, {12000000}, "BD-RE"},
        // 12219362 blocks, but 12219424 once each track is rounded up to
        // whole clusters: 32 more than the BD-R holds.
        {"a full BD-R with its reservations rounded", disc::BdRom, {12219329, 33}, "BD-R"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ImageSource(r.source, r.blocks, {{u'F', 1}});
        Bay bay(RecorderWithBlanks("bd-re-recorder", r.blank), folder_.path());
        testing::QuickClock clock;
        CommandTrail trail(bay.simulator);
        MemoryPanel panel(u'F');
        SkipPastFailures(panel);
        Run(WriterThread, u'F', panel);

        EXPECT_TRUE(Offered(panel, u"The disc is too small for this copy.",
                            panel_link::SkipSource | panel_link::ChangeDisc));
        EXPECT_EQ(panel.State().status, u"Terminated by user.");
        std::vector<uint16_t> f = trail.Of(u'F');
        for (uint16_t op : {opcode::Write10, opcode::ReserveTrack, opcode::SendCueSheet,
                            opcode::FormatUnit, opcode::Blank}) {
            EXPECT_EQ(Count(f, op), 0u) << std::hex << op;
        }
        EXPECT_TRUE(bay.simulator.Drive(u'F')->WithDisc([](sim::Disc* d) {
            return d != nullptr && d->status() == sim::DiscStatus::Empty && !d->formatted;
        }));
    }
}

}  // namespace
}  // namespace vestrel
