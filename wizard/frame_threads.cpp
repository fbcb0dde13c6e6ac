#include "wizard/frame_threads.h"

#include "wizard/thread_list.h"

namespace vestrel::wizard {

namespace {

ThreadHandleList& List() {
    static ThreadHandleList list;
    return list;
}

ThreadState StateOf(ThreadHandleList::Handle handle) {
    switch (WaitForSingleObject(reinterpret_cast<HANDLE>(handle), 0)) {
        case WAIT_TIMEOUT:
            return ThreadState::Running;
        case WAIT_OBJECT_0:
            return ThreadState::Ended;
        default:
            return ThreadState::WaitFailed;
    }
}

}  // namespace

size_t PruneThreadList() {
    return List().Prune(StateOf);
}

bool AnyThreadLeft() {
    PruneThreadList();
    return List().AnyLeft();
}

HANDLE StartListedThread(LPTHREAD_START_ROUTINE body, void* argument) {
    PruneThreadList();
    if (List().Full())
        return nullptr;
    HANDLE thread = CreateThread(nullptr, 0, body, argument, 0, nullptr);
    if (thread)
        ListThread(thread);
    return thread;
}

bool ListThread(HANDLE thread) {
    return List().Add(reinterpret_cast<ThreadHandleList::Handle>(thread));
}

void CloseListedThread(HANDLE thread) {
    if (!thread)
        return;
    List().Remove(reinterpret_cast<ThreadHandleList::Handle>(thread));
    CloseHandle(thread);
}

}  // namespace vestrel::wizard
