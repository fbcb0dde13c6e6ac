#include "wizard/thread_list.h"

namespace vestrel::wizard {

bool ThreadHandleList::Add(Handle handle) {
    if (handle == 0 || Full())
        return false;
    entries_[count_++] = handle;
    return true;
}

bool ThreadHandleList::Remove(Handle handle) {
    for (size_t i = 0; i < count_; ++i) {
        if (entries_[i] != handle)
            continue;
        for (size_t j = i; j + 1 < count_; ++j)
            entries_[j] = entries_[j + 1];
        entries_[--count_] = 0;
        return true;
    }
    return false;
}

size_t ThreadHandleList::Prune(const std::function<ThreadState(Handle)>& state) {
    size_t kept = 0;
    for (size_t i = 0; i < count_; ++i) {
        if (state(entries_[i]) == ThreadState::Running)
            entries_[kept++] = entries_[i];
    }
    for (size_t i = kept; i < count_; ++i)
        entries_[i] = 0;
    count_ = kept;
    return count_;
}

}  // namespace vestrel::wizard
