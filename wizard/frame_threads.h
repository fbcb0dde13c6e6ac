// The frame's thread list over the threads' real handles. The panel
// containers start reader and writer threads through it, so a full list
// refuses a start; whoever closes a handle takes it out first.
#pragma once

#include <windows.h>

#include <cstddef>

namespace vestrel::wizard {

// Drops ended threads and handles whose wait fails; returns how many run.
size_t PruneThreadList();
// Whether a reader or writer thread still runs (after pruning).
bool AnyThreadLeft();

// Prunes the list, then starts `body` and lists it; null (nothing
// started) when the list is full or the thread cannot be created.
HANDLE StartListedThread(LPTHREAD_START_ROUTINE body, void* argument);

// Lists a thread started elsewhere; false when the list is full.
bool ListThread(HANDLE thread);

// Takes the handle out of the list and closes it.
void CloseListedThread(HANDLE thread);

}  // namespace vestrel::wizard
