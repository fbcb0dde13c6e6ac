// The panel channel kept in memory, progress rationing, the worker start
// handshake and the page rules.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
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
    for (uint32_t link = panel_link::SkipSource; link <= panel_link::Continue; link <<= 1) {
        const bool atOnce = link == panel_link::Eject || link == panel_link::Continue;
        EXPECT_EQ(LinksClickedAtOnce(link | panel_link::SkipSource), atOnce ? link : 0)
            << std::hex << link;
    }

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

    // Both at once: the tray opens, and Continue's reply is the one left.
    panel.PostUpdate(panel_update::NormalWithLinks, panel_link::Eject | panel_link::Continue);
    EXPECT_EQ(drives.ejected.size(), 2u);
    EXPECT_EQ(panel.GetUserReply(), panel_link::Continue);
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

TEST(WorkerThreads, AThreadThatCannotBeCreatedEndsItsPanelWithoutWaiting) {
    CountingClock clock;
    MemoryPanel panel(u'E');
    ThreadStartBlock block;
    block.panel = &panel;
    bool ran = false;
    FailThreadCreationForTesting(true);
    const auto worker = StartWorker(block, [&ran](ThreadStartBlock&) { ran = true; });
    FailThreadCreationForTesting(false);
    EXPECT_EQ(worker, nullptr);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(clock.dispatchingWaits.empty());
    EXPECT_FALSE(AnyThreadLeft());
    EXPECT_EQ(panel.GetRunState(), RunState::Stopped);
    EXPECT_FALSE(panel.Busy());
    ASSERT_EQ(panel.Updates().size(), 1u);
    EXPECT_EQ(panel.Updates()[0].how, panel_update::Stopped);
    EXPECT_EQ(panel.Updates()[0].status, kWorkerNotStartedStatus);
    WaitForWorker(worker);  // nothing to wait for
}

// A worker stuck for seconds, as in a long drive command, that touches
// nothing shared.
void StuckForSeconds() {
    std::this_thread::sleep_for(std::chrono::seconds(3));
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Notes the first wait a start asks for. The workers below take their
// block only once their starter has begun waiting, so it is always seen.
class FirstWaitClock : public Clock {
  public:
    FirstWaitClock() { InstallClock(this); }
    ~FirstWaitClock() override { InstallClock(nullptr); }
    uint32_t TickCount() override { return 0; }
    void Sleep(uint32_t) override {}
    void WaitDispatchingMessages(uint32_t ms) override {
        uint32_t none = 0;
        first.compare_exchange_strong(none, ms);
        std::this_thread::yield();
    }
    std::atomic<uint32_t> first{0};
};

// Workers started one after another, as a page starts one per drive, begin
// together: the wait for each to take its block starts at a millisecond. A
// fixed 25 ms step would start the eighth recorder 175 ms after the first.
TEST(WorkerThreads, TheWaitForAStartingWorkerBeginsShort) {
    FirstWaitClock clock;
    ThreadStartBlock block;
    for (int i = 0; i < 8; ++i) {
        clock.first = 0;
        StartWorker(block, [&clock](ThreadStartBlock& b) {
            while (clock.first.load() == 0)
                std::this_thread::yield();
            MarkStarted(b);
        });
        EXPECT_EQ(clock.first.load(), 1u) << "start " << i;
    }
    JoinAllWorkers();
}

TEST(WorkerThreads, AStuckWorkerDoesNotHoldUpItsOwnerLettingGo) {
    auto owned = std::make_unique<WorkerThread>(StuckForSeconds);
    const auto start = std::chrono::steady_clock::now();
    owned.reset();
    EXPECT_LT(SecondsSince(start), 1.0);
}

// The program ends while a listed worker is stuck: the exit does not wait.
TEST(WorkerThreads, AStuckWorkerDoesNotHoldUpTheExit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EXIT(
        {
            ThreadStartBlock block;
            StartWorker(block, [](ThreadStartBlock& b) {
                MarkStarted(b);
                StuckForSeconds();
            });
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_LT(SecondsSince(start), 2.0);
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
    EXPECT_FALSE(WritingPageEnd({S::Stopped, S::Writing}, {}).deleteImageFiles);
    WritingEnd end = WritingPageEnd({S::Stopped, S::Finished}, {});
    EXPECT_TRUE(end.deleteImageFiles);
    EXPECT_EQ(end.copyOutcome, 0);
    end = WritingPageEnd({S::Finished, S::Finished}, {});
    EXPECT_TRUE(end.deleteImageFiles);
    EXPECT_EQ(end.copyOutcome, 1);
}

// A source left out at planning (no tracks) does not hold up the others'
// reading, yet the run can no longer copy every disc.
TEST(CopyCoordination, ReadingPageWithSourcesLeftOut) {
    using S = RunState;
    SourceRecord read;
    read.tracks.resize(1);
    const SourceRecord leftOut;
    struct Case {
        std::vector<S> states;
        std::vector<SourceRecord> sources;
        bool running, failed, anyLeftOut, allRead, next;
    } cases[] = {
        {{S::Finished, S::Finished}, {read, read}, false, false, false, true, true},
        {{S::Stopped, S::Finished}, {leftOut, read}, false, false, true, false, true},
        {{S::Stopped, S::Reading}, {leftOut, read}, true, false, true, false, false},
        // A real read failure still stops the run, left out source or not.
        {{S::Stopped, S::Stopped}, {leftOut, read}, false, true, true, false, false},
        {{S::Finished, S::Stopped}, {read, read}, false, true, false, false, false},
        // Nothing read at all: nothing to write.
        {{S::Stopped, S::Stopped}, {leftOut, leftOut}, false, false, true, false, false},
        {{}, {}, false, false, false, false, false},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        ReadingOutcome o = EvaluateReadingPanels(c.states, c.sources);
        EXPECT_EQ(o.anyRunning, c.running) << "case " << i;
        EXPECT_EQ(o.anyFailed, c.failed) << "case " << i;
        EXPECT_EQ(o.anyLeftOut, c.anyLeftOut) << "case " << i;
        EXPECT_EQ(o.allRead, c.allRead) << "case " << i;
        EXPECT_EQ(o.nextEnabled, c.next) << "case " << i;
    }

    // Every writer finished, yet a source was left out: not all copied.
    WritingEnd end = WritingPageEnd({S::Finished}, {leftOut, read});
    EXPECT_TRUE(end.deleteImageFiles);
    EXPECT_EQ(end.copyOutcome, 0);
    EXPECT_EQ(WritingPageEnd({S::Finished}, {read, read}).copyOutcome, 1);
}

}  // namespace
}  // namespace vestrel
