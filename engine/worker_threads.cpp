#include "engine/worker_threads.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "drive/clock.h"
#include "drive/drive_lock.h"

namespace vestrel {

namespace {

// Never destroyed: a worker still running at exit stays listed, and no
// static destructor waits for it.
std::vector<std::shared_ptr<WorkerThread>>& ThreadList() {
    static auto* list = new std::vector<std::shared_ptr<WorkerThread>>;
    return *list;
}

bool g_failThreadCreation = false;

// The longest wait between two looks at a starting worker's block.
constexpr uint32_t kStartWaitStepMs = 25;

bool IsStarted(ThreadStartBlock& block) {
    DriveLockGuard lock;
    return block.started != 0;
}

// A panel whose worker never came to be: it shows why and stops, as a
// worker's own failure would end it.
void EndPanelWithoutWorker(PanelChannel& panel) {
    if (panel.ProgressBarReady())
        panel.EndBusyAnimation();
    panel.SetStatus(kWorkerNotStartedStatus);
    panel.SetRunState(RunState::Stopped);
    panel.PostUpdate(panel_update::Stopped, 0);
}

}  // namespace

WorkerThread::WorkerThread(std::function<void()> body)
    : ended_(std::make_shared<std::atomic<bool>>(false)) {
    if (g_failThreadCreation)
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    thread_ = std::thread([ended = ended_, body = std::move(body)] {
        body();
        ended->store(true);
    });
}

WorkerThread::~WorkerThread() {
    if (!thread_.joinable())
        return;
    if (Running())
        thread_.detach();
    else
        thread_.join();
}

void WorkerThread::Join() {
    if (thread_.joinable())
        thread_.join();
}

void MarkStarted(ThreadStartBlock& block) {
    DriveLockGuard lock;
    block.started = 1;
}

std::shared_ptr<WorkerThread> StartWorker(ThreadStartBlock& block,
                                          std::function<void(ThreadStartBlock&)> body) {
    {
        DriveLockGuard lock;
        block.started = 0;
    }
    std::shared_ptr<WorkerThread> worker;
    try {
        worker = std::make_shared<WorkerThread>([&block, body = std::move(body)] { body(block); });
    } catch (const std::system_error&) {
        if (block.panel)
            EndPanelWithoutWorker(*block.panel);
        return nullptr;
    }
    PruneThreadList();
    ThreadList().push_back(worker);
    // A worker takes its block within a millisecond or so: the waits start
    // short and grow to 25 ms, so that workers started one after another
    // begin together instead of one fixed step apart each.
    for (uint32_t step = 1; !IsStarted(block) && worker->Running();
         step = std::min(step * 2, kStartWaitStepMs))
        ActiveClock().WaitDispatchingMessages(step);
    return worker;
}

void WaitForWorker(std::shared_ptr<WorkerThread> worker) {
    if (!worker)
        return;
    while (worker->Running())
        ActiveClock().WaitDispatchingMessages(10);
    worker->Join();
}

size_t PruneThreadList() {
    auto& list = ThreadList();
    for (auto& t : list) {
        if (!t->Running())
            t->Join();
    }
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const std::shared_ptr<WorkerThread>& t) { return !t->Running(); }),
               list.end());
    return list.size();
}

bool AnyThreadLeft() {
    return PruneThreadList() > 0;
}

void JoinAllWorkers() {
    auto& list = ThreadList();
    for (auto& t : list)
        t->Join();
    list.clear();
}

void FailThreadCreationForTesting(bool fail) {
    g_failThreadCreation = fail;
}

}  // namespace vestrel
