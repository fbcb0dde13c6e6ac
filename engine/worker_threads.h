// Starting reader and writer threads one after another, and the one list
// of started threads that tells whether any still runs. The list belongs to
// the user-interface thread: only it starts, prunes, waits for and joins
// workers. Nothing joins a worker at program exit: a worker stuck in a long
// drive command must not hold the program up.
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

// The status of a panel whose worker thread could not be created.
inline constexpr char16_t kWorkerNotStartedStatus[] = u"Cannot start working with the drive.";

class WorkerThread {
  public:
    // Throws std::system_error when the thread cannot be created.
    explicit WorkerThread(std::function<void()> body);
    // Joins a thread that has ended; one that still runs is let go.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    bool Running() const { return !ended_->load(); }
    // Waits until the thread has ended.
    void Join();

  private:
    // Shared with the thread, so a thread let go never touches freed memory.
    std::shared_ptr<std::atomic<bool>> ended_;
    std::thread thread_;
};

// Starts body(block) on a new thread, prunes the thread list and adds the
// new thread to it, then waits, keeping the calling thread's messages
// flowing in steps of 1 ms growing to 25 ms, until the worker has set
// block.started (or has ended without doing so). When the thread cannot be
// created, nothing is listed or waited for: block.panel, if any, ends at
// once, stopped with kWorkerNotStartedStatus, and the result is null.
std::shared_ptr<WorkerThread> StartWorker(ThreadStartBlock& block,
                                          std::function<void(ThreadStartBlock&)> body);

// Marks the block as taken, under the drive lock; the worker's first step.
void MarkStarted(ThreadStartBlock& block);

// Waits until `worker` (null: none) has ended, dispatching the calling
// thread's messages meanwhile in small steps, so that a message the worker
// sends to one of its windows cannot deadlock the wait.
void WaitForWorker(std::shared_ptr<WorkerThread> worker);

// Drops the threads that have ended; returns how many still run.
size_t PruneThreadList();
// Whether a listed thread still runs.
bool AnyThreadLeft();
// Waits for every listed thread and empties the list; for runs without
// windows, which have no messages to dispatch.
void JoinAllWorkers();

// Tests only: while set, every thread creation fails as when the system
// cannot create another thread.
void FailThreadCreationForTesting(bool fail);

}  // namespace vestrel
