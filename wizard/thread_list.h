// The frame's list of reader and writer threads: up to 1,023 handles
// followed by a terminating zero, in the order they were started. The
// user-interface thread alone keeps it. The list does not own the handles:
// whoever closes a handle takes it out of the list first, since a closed
// handle would never read as ended and would stay for good.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace vestrel::wizard {

enum class ThreadState {
    Running,
    Ended,
    WaitFailed,  // the handle cannot be waited on (closed, or not a thread)
};

class ThreadHandleList {
  public:
    using Handle = uintptr_t;
    static constexpr size_t kEntries = 1024;  // the terminating zero included

    // False when the list is full or the handle is 0: the caller must not
    // start the thread then.
    bool Add(Handle handle);
    bool Full() const { return count_ == kEntries - 1; }
    // Takes a handle out; false when it was not listed.
    bool Remove(Handle handle);
    // Drops every handle that has ended or cannot be waited on; the live
    // ones stay in front, in order. Returns how many are left.
    size_t Prune(const std::function<ThreadState(Handle)>& state);
    // A thread is left exactly when the first entry is not zero.
    bool AnyLeft() const { return entries_[0] != 0; }
    size_t size() const { return count_; }
    Handle at(size_t i) const { return entries_[i]; }

  private:
    std::array<Handle, kEntries> entries_{};
    size_t count_ = 0;
};

}  // namespace vestrel::wizard
