#include "engine/worker_threads.h"

#include <algorithm>
#include <vector>

#include "drive/clock.h"
#include "drive/drive_lock.h"

namespace vestrel {

namespace {

std::vector<std::shared_ptr<WorkerThread>>& ThreadList() {
    static std::vector<std::shared_ptr<WorkerThread>> list;
    return list;
}

bool IsStarted(ThreadStartBlock& block) {
    DriveLockGuard lock;
    return block.started != 0;
}

}  // namespace

WorkerThread::WorkerThread(std::function<void()> body)
    : thread_([this, body = std::move(body)] {
          body();
          ended_.store(true);
      }) {}

WorkerThread::~WorkerThread() {
    Join();
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
    auto worker = std::make_shared<WorkerThread>([&block, body = std::move(body)] { body(block); });
    PruneThreadList();
    ThreadList().push_back(worker);
    while (!IsStarted(block) && worker->Running())
        ActiveClock().WaitDispatchingMessages(25);
    return worker;
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

void JoinAllWorkers() {
    auto& list = ThreadList();
    for (auto& t : list)
        t->Join();
    list.clear();
}

}  // namespace vestrel
