// The panel channel kept in memory, progress rationing, the worker start
// handshake and the page rules.
#include <gtest/gtest.h>

#include <thread>

#include "drive/drive_lock.h"
#include "engine/copy_coordination.h"
#include "engine/memory_panel.h"
#include "engine/worker_threads.h"
#include "tests/support/scripted_transport.h"

namespace vestrel {
namespace {

using testing::CountingClock;
using testing::ScriptedTransport;

TEST(ProgressRationing, EndsAlwaysPassOthersAtMostEvery500msAcrossAllPanels) {
    CountingClock clock;
    clock.now = 10000;
    ResetProgressRationing();
    EXPECT_TRUE(ProgressUpdateDue(0));
    clock.now += 100;
    EXPECT_FALSE(ProgressUpdateDue(120));  // another panel, too soon
    EXPECT_TRUE(ProgressUpdateDue(1000));
    clock.now += 499;
    EXPECT_FALSE(ProgressUpdateDue(300));
    clock.now += 1;
    EXPECT_TRUE(ProgressUpdateDue(300));
    clock.now -= 50;  // the clock went back
    EXPECT_TRUE(ProgressUpdateDue(310));
}

TEST(MemoryPanel, AnErrorUpdateStopsThePanelAndNothingLeavesTheEnd) {
    MemoryPanel panel(u'E');
    EXPECT_EQ(panel.State().status, u"Preparing.");
    panel.SetRunState(RunState::Reading);
    panel.SetProgress(640);
    panel.SetStatus(u"Error reading disc (despite 15 retries).");
    panel.PostUpdate(panel_update::Stopped, 0);
    EXPECT_EQ(panel.GetRunState(), RunState::Stopped);
    EXPECT_EQ(panel.Progress(), 0u);
    panel.SetRunState(RunState::Finished);
    EXPECT_EQ(panel.GetRunState(), RunState::Stopped);

    MemoryPanel done(u'F');
    done.SetRunState(RunState::Finished);
    done.PostUpdate(panel_update::Stopped, 0);
    EXPECT_EQ(done.GetRunState(), RunState::Finished);
}

TEST(MemoryPanel, LinksAreReplacedOrKeptAndEjectAndContinueClickThemselves) {
    ScriptedTransport drives;
    MemoryPanel panel(u'G');
    panel.PostUpdate(panel_update::NormalWithLinks, panel_link::SkipSource | panel_link::Eject);
    EXPECT_EQ(panel.Links(), panel_link::SkipSource | panel_link::Eject);
    EXPECT_EQ(drives.ejected, std::vector<char16_t>{u'G'});
    EXPECT_EQ(panel.GetUserReply(), panel_link::ChangeDisc);

    panel.PostUpdate(panel_update::Normal, 0);  // links kept
    EXPECT_EQ(panel.Links(), panel_link::SkipSource | panel_link::Eject);

    panel.SetUserReply(0);
    panel.PostUpdate(panel_update::NormalWithLinks, panel_link::Continue);
    EXPECT_EQ(panel.GetUserReply(), panel_link::Continue);
    EXPECT_EQ(drives.ejected.size(), 1u);
}

TEST(MemoryPanel, SkipSourceNeedsConfirmationAndRepliesCarryTheLinkValue) {
    MemoryPanel panel(u'H');
    panel.Click(panel_link::SkipSource, false);
    EXPECT_EQ(panel.GetSkipFlag(), 0u);
    panel.Click(panel_link::SkipSource, true);
    EXPECT_EQ(panel.GetSkipFlag(), 1u);
    for (uint32_t link :
         {panel_link::Yes, panel_link::ShowPath, panel_link::Retry, panel_link::SkipCopy}) {
        panel.Click(link);
        EXPECT_EQ(panel.GetUserReply(), link);
    }
}

TEST(MemoryPanel, TheObserverSeesEachUpdateAndCanAnswer) {
    MemoryPanel panel(u'H');
    panel.SetObserver([](MemoryPanel& p, const MemoryPanel::Update& u) {
        if (u.links & panel_link::Yes)
            p.Click(panel_link::Yes);
    });
    panel.SetUserReply(0);
    panel.SetStatus(u"The disc is not empty. Erase it?");
    panel.PostUpdate(panel_update::NormalWithLinks, 0x34);
    EXPECT_EQ(panel.GetUserReply(), panel_link::Yes);
    ASSERT_EQ(panel.Updates().size(), 1u);
    EXPECT_EQ(panel.Updates()[0].status, u"The disc is not empty. Erase it?");
    EXPECT_EQ(panel.Updates()[0].links, 0x34u);
}

TEST(WorkerThreads, EachWorkerCopiesItsBlockBeforeTheNextStarts) {
    std::vector<uint32_t> seen(3);
    std::vector<std::shared_ptr<WorkerThread>> workers;
    ThreadStartBlock block;
    for (uint32_t i = 0; i < 3; ++i) {
        block.first = 100 + i;
        workers.push_back(StartWorker(block, [&seen, i](ThreadStartBlock& b) {
            uint32_t mine;
            {
                DriveLockGuard lock;
                mine = b.first;
            }
            MarkStarted(b);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            DriveLockGuard lock;
            seen[i] = mine;
        }));
    }
    EXPECT_GE(PruneThreadList(), 0u);
    JoinAllWorkers();
    EXPECT_EQ(seen, (std::vector<uint32_t>{100, 101, 102}));
    EXPECT_EQ(PruneThreadList(), 0u);
    for (auto& w : workers)
        EXPECT_FALSE(w->Running());
}

TEST(WorkerThreads, AWorkerThatEndsWithoutStartingDoesNotHangTheStart) {
    ThreadStartBlock block;
    auto worker = StartWorker(block, [](ThreadStartBlock&) {});
    worker->Join();
    EXPECT_FALSE(worker->Running());
    EXPECT_EQ(PruneThreadList(), 0u);
}

TEST(CopyCoordination, WriterPanelsFollowFirstAppearance) {
    std::vector<SourceRecord> sources(3);
    sources[0].destinations = {{u'F', 1}, {u'G', 2}};
    sources[1].destinations = {{u'G', 1}};
    sources[2].destinations = {{u'H', 1}, {u'F', 1}};
    EXPECT_EQ(WriterLetters(sources), (std::vector<char16_t>{u'F', u'G', u'H'}));
    EXPECT_TRUE(WriterLetters({}).empty());
}

TEST(CopyCoordination, PageOutcomes) {
    using S = RunState;
    PanelsOutcome o = EvaluatePanels({S::Finished, S::Finished});
    EXPECT_TRUE(o.allFinished);
    EXPECT_FALSE(o.anyFailed);
    o = EvaluatePanels({S::Stopped, S::Reading});
    EXPECT_TRUE(o.anyFailed);
    EXPECT_TRUE(o.anyRunning);
    EXPECT_FALSE(o.allFinished);

    // Files go only once no writer runs; the outcome needs every writer done.
    EXPECT_FALSE(WritingPageEnd({S::Stopped, S::Writing}).deleteImageFiles);
    WritingEnd end = WritingPageEnd({S::Stopped, S::Finished});
    EXPECT_TRUE(end.deleteImageFiles);
    EXPECT_EQ(end.copyOutcome, 0);
    end = WritingPageEnd({S::Finished, S::Finished});
    EXPECT_TRUE(end.deleteImageFiles);
    EXPECT_EQ(end.copyOutcome, 1);
}

}  // namespace
}  // namespace vestrel
