// Image files planned on a simulated computer: a small home folder and a
// fixed drive with room; and the whole sequence of the Next button (layouts,
// plan, stale files, then the readers) when the room runs out or stale files
// stand in the way.
#include <gtest/gtest.h>

#include "drive/clock.h"
#include "drive/drive_lock.h"
#include "drive/file_system.h"
#include "drive/source_table.h"
#include "engine/image_files.h"
#include "engine/image_store.h"
#include "engine/memory_panel.h"
#include "engine/reader_thread.h"
#include "engine/source_layout.h"
#include "tests/copy/copy_fixture.h"
#include "tests/simulator/sim_fixture.h"
#include "tests/support/scripted_transport.h"

namespace vestrel {
namespace {

using namespace vestrel::sim::testing;

TEST(ImagePlan, ATrackTooBigForHomeGoesToTheFixedDriveAndIsWrittenThere) {
    TempFolder folder;
    Bay bay(BaySpec()
                .Top("appdata-free = 50M")
                .Folder('D', "free = 60M")
                .Iso("dvd", "DVD-ROM", PatternBytes(40 * 2048, 21))
                .Drive('E', "dvd-rom-reader", "dvd"),
            folder.path());
    SourceRecord source;
    source.driveLetter = u'E';
    source.discType = disc::DvdRom;
    ASSERT_EQ(ReadSourceLayout(source), LayoutOutcome::Read);
    std::vector<SourceRecord> sources = {source};
    ASSERT_TRUE(PlanImageFiles(sources));
    const std::u16string& path = sources[0].tracks[0].imagePath;
    std::u16string root = bay.simulator.RootFolder(u'D');
    EXPECT_EQ(path, root + u"Temp" + kPathSeparator + u"E000.iso");
    ASSERT_TRUE(CreateImageFolders(path));
    EXPECT_TRUE(fs::is_directory(fs::path(root) / "Temp"));

    // Once the fixed drive is full as well, nothing fits anywhere.
    WriteFile(fs::path(root) / "filler.bin", PatternBytes(20 * 1024 * 1024, 22));
    EXPECT_FALSE(PlanImageFiles(sources));
    EXPECT_TRUE(sources[0].tracks[0].imagePath.empty());
}

// The "Overwrite files?" dialog left alone: its countdown runs on the active
// clock and accepts by itself.
class CountdownPrompt : public OverwritePrompt {
  public:
    bool AskOverwrite(const std::u16string& fileList) override {
        lists.push_back(fileList);
        Clock& clock = ActiveClock();
        const uint32_t opened = clock.TickCount();
        OverwriteCountdown countdown(opened);
        while (!countdown.Tick(clock.TickCount()))
            clock.Sleep(50);
        waited.push_back(clock.TickCount() - opened);
        lastCaption = countdown.Caption();
        return true;
    }
    void ShowMessage(const std::u16string& text) override { messages.push_back(text); }

    std::vector<std::u16string> lists;
    std::vector<uint32_t> waited;
    std::u16string lastCaption;
    std::vector<std::u16string> messages;
};

class NextButtonTest : public testing::CopyTest {
  protected:
    // The source table as the select-drives page leaves it, then the
    // layouts read and the image files planned, as Next does.
    bool LayoutAndPlan(std::vector<SourceRecord> sources) {
        {
            DriveLockGuard lock;
            SourceTable() = std::move(sources);
        }
        EXPECT_TRUE(AllLayoutsRead(ReadSourceLayouts()));
        DriveLockGuard lock;
        return PlanImageFiles(SourceTable());
    }
    std::vector<SourceRecord> Table() {
        DriveLockGuard lock;
        return SourceTable();
    }
    static SourceRecord Source(char16_t letter, DiscType type) {
        SourceRecord s;
        s.driveLetter = letter;
        s.discType = type;
        s.copies = 1;
        s.destinations = {{u'F', 1}};
        return s;
    }
};

TEST_F(NextButtonTest, WhenTheSecondSourceFitsNowhereNothingIsCreated) {
    // Room for one 80 KiB image above the 50 MiB margin, not for two.
    Bay bay(BaySpec()
                .Top("appdata = appdata")
                .Top("appdata-free = 51300K")
                .Iso("a", "CD-ROM", PatternBytes(40 * 2048, 71))
                .Iso("b", "CD-ROM", PatternBytes(40 * 2048, 72))
                .Drive('D', "dvd-rom-reader", "a")
                .Drive('E', "dvd-rom-reader", "b"),
            folder_.path());
    EXPECT_FALSE(LayoutAndPlan({Source(u'D', disc::CdRom), Source(u'E', disc::CdRom)}));
    std::vector<SourceRecord> table = Table();
    EXPECT_EQ(table[0].tracks[0].imagePath,
              HomeImageFolder((folder_ / "appdata").u16string()) + u"D000.iso");
    EXPECT_TRUE(table[1].tracks[0].imagePath.empty());
    EXPECT_TRUE(fs::is_empty(folder_ / "appdata")) << "no folder is made before reading";
}

TEST_F(NextButtonTest, AReadOnlyStaleFileStopsNextUntilItCanGoThenTheCountdownReplacesIt) {
    const std::vector<SourceTrack> tracks = PatternTracks({-30, 10}, 73);
    const SourceTrack &audio = tracks[0], &data = tracks[1];
    Bay bay(BaySpec()
                .Top("appdata = appdata")
                .Cue("mixed", tracks)
                .Drive('E', "dvd-rom-reader", "mixed"),
            folder_.path());
    ASSERT_TRUE(LayoutAndPlan({Source(u'E', disc::CdRom)}));
    std::vector<SourceRecord> sources = Table();
    const std::u16string wav = sources[0].tracks[0].imagePath;
    const std::u16string iso = sources[0].tracks[1].imagePath;
    ASSERT_EQ(wav, HomeImageFolder((folder_ / "appdata").u16string()) + u"E000.wav");

    // Left over from an aborted run, longer than the new images.
    const std::vector<uint8_t> stale = PatternBytes(100 * 2352, 75);
    ASSERT_TRUE(CreateImageFolders(wav));
    WriteFile(fs::path(wav), stale);
    WriteFile(fs::path(iso), stale);
    ASSERT_TRUE(ActiveFileSystem().SetReadOnly(iso, true));

    CountdownPrompt prompt;
    {
        testing::CountingClock clock;
        EXPECT_FALSE(ConfirmOverwrite(sources, prompt));
    }
    ASSERT_EQ(prompt.lists.size(), 1u);
    EXPECT_EQ(prompt.lists[0], wav + u"\r\n\r\n" + iso);
    EXPECT_EQ(prompt.messages, std::vector<std::u16string>{kCannotOverwriteMessage});
    EXPECT_EQ(ReadFile(fs::path(iso)), stale) << "the read-only file is untouched";
    EXPECT_FALSE(fs::exists(fs::path(wav)));

    // The person makes it writable and presses Next again.
    ASSERT_TRUE(ActiveFileSystem().SetReadOnly(iso, false));
    {
        testing::CountingClock clock;
        EXPECT_TRUE(ConfirmOverwrite(sources, prompt));
    }
    ASSERT_EQ(prompt.lists.size(), 2u);
    EXPECT_EQ(prompt.lists[1], iso);
    EXPECT_EQ(prompt.waited, (std::vector<uint32_t>{10000, 10000}));
    EXPECT_EQ(prompt.lastCaption, u"Overwrite -- 0");
    EXPECT_EQ(prompt.messages.size(), 1u);
    EXPECT_TRUE(ExistingImageFiles(sources).empty());

    MemoryPanel panel(u'E');
    Run(ReaderThread, 0, panel);
    EXPECT_EQ(panel.State().status, u"Finished sucessfully.");
    std::vector<uint8_t> wave = ReadFile(fs::path(wav));
    ASSERT_EQ(wave.size(), 44 + audio.bytes.size());
    EXPECT_TRUE(std::equal(audio.bytes.begin(), audio.bytes.end(), wave.begin() + 44));
    EXPECT_EQ(ReadFile(fs::path(iso)), data.bytes);
    DeleteImageFiles(sources);
}

}  // namespace
}  // namespace vestrel
