// A source whose table of contents cannot be read, in a whole copy run: its
// reading panel reports the failure, the other source is read and written,
// no recorder records anything for the one left out, and the run's outcome
// says that not every disc was copied.
#include <gtest/gtest.h>

#include "engine/reader_thread.h"
#include "tests/copy/copy_fixture.h"

namespace vestrel {
namespace {

using namespace vestrel::sim::testing;
using testing::RunWholeCopy;
using testing::WholeRun;

TEST(LeftOut, ASourceWhoseTocCannotBeReadIsLeftOutAndTheOtherIsCopied) {
    TempFolder folder;
    const std::vector<SourceTrack> audio = PatternTracks({-40, -30}, 31);
    Bay bay(BaySpec()
                .Iso("data", "CD-ROM", PatternBytes(100 * 2048, 33))
                .Cue("audio", audio)
                .Drive('D', "dvd-rom-reader", "data")
                .With("fault = toc-unreadable")
                .Drive('E', "cd-rom-reader", "audio")
                .Drive('F', "cd-rw-recorder")
                .TakeFinished(),
            folder.path());
    ASSERT_TRUE(bay.loaded);

    WholeRun run = RunWholeCopy(bay.simulator, {}, {{u'F', {"CD-R"}}});
    EXPECT_EQ(run.layouts,
              (std::vector<LayoutOutcome>{LayoutOutcome::TocUnreadable, LayoutOutcome::Read}));
    ASSERT_EQ(run.sources.size(), 2u);
    EXPECT_TRUE(LeftOut(run.sources[0]));
    EXPECT_TRUE(run.sources[0].destinations.empty());
    ASSERT_EQ(run.readers.size(), 2u);
    EXPECT_EQ(run.readers[0]->State().status, kTocUnreadableStatus);
    EXPECT_EQ(run.readers[0]->GetRunState(), RunState::Stopped);
    EXPECT_EQ(run.readers[1]->State().status, u"Finished sucessfully.");
    EXPECT_TRUE(run.readingPage.anyLeftOut);
    EXPECT_FALSE(run.readingPage.anyFailed);
    EXPECT_TRUE(run.readingPage.nextEnabled);

    // One writer, one job: the audio CD.
    ASSERT_EQ(run.writers.size(), 1u);
    MemoryPanel& writer = *run.writers[0];
    EXPECT_EQ(writer.GetRunState(), RunState::Finished);
    EXPECT_EQ(writer.State().caption, u" - Source: 1/1, Label: Audio CD, Copy: 1/1");
    EXPECT_TRUE(run.writing.deleteImageFiles);
    EXPECT_EQ(run.writing.copyOutcome, 0);

    std::vector<sim::FinishedCopy> copies = bay.simulator.TakeFinishedCopies();
    ASSERT_EQ(copies.size(), 1u);
    ASSERT_TRUE(bay.simulator.LoadDisc(u'E', std::move(copies[0].disc)));
    std::vector<SourceTrack> back = ReadBack(u'E');
    ASSERT_EQ(back.size(), audio.size());
    for (size_t t = 0; t < back.size(); ++t)
        EXPECT_TRUE(back[t].bytes == audio[t].bytes) << "track " << t + 1;
    EXPECT_FALSE(fs::exists(fs::path(bay.simulator.AppDataFolder()) / "t4k" / "Temp"));
}

}  // namespace
}  // namespace vestrel
