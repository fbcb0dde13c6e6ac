// Starting reader and writer threads one after another, and the list of
// started threads that tells whether any still runs. The list belongs to
// the user-interface thread: only it starts, prunes and joins workers.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "engine/panel_channel.h"

namespace vestrel {

// Handed to a starting worker. The worker copies what it needs and then
// sets `started` (under the drive lock); only then is the block reused.
struct ThreadStartBlock {
    uint32_t first = 0;  // a reader's source index, a writer's drive letter
    PanelChannel* panel = nullptr;
    void* frame = nullptr;  // the wizard's frame window, if any
    uint32_t options = 0;   // a writer's writer_option bits
    uint32_t started = 0;
};

class WorkerThread {
  public:
    explicit WorkerThread(std::function<void()> body);
    ~WorkerThread();  // waits for the thread
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    bool Running() const { return !ended_.load(); }
    // Waits until the thread has ended.
    void Join();

  private:
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

// Starts body(block) on a new thread, prunes the thread list and adds the
// new thread to it, then waits, keeping the calling thread's messages
// flowing in 25 ms steps, until the worker has set block.started (or has
// ended without doing so).
std::shared_ptr<WorkerThread> StartWorker(ThreadStartBlock& block,
                                          std::function<void(ThreadStartBlock&)> body);

// Marks the block as taken, under the drive lock; the worker's first step.
void MarkStarted(ThreadStartBlock& block);

// Drops the threads that have ended; returns how many still run.
size_t PruneThreadList();
// Waits for every listed thread and empties the list.
void JoinAllWorkers();

}  // namespace vestrel
