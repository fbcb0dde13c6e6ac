// The installation worker thread.
#pragma once

#include <windows.h>

#include <string>

#include "installer/shortcuts.h"

namespace vestrel::installer {

enum WorkerResult : DWORD {
    kInstalled = 0,
    kCancelled = 1,
    kFolderFailed = 2,
    kCopyFailed = 3,
    kForcedEnd = 100,
};

// What the worker is given at Proceed; it owns and deletes it.
struct InstallJob {
    std::wstring installFolder;
    ShortcutChoice shortcuts;
};

// The thread procedure; the parameter is a new InstallJob.
DWORD WINAPI InstallWorker(void* job);

}  // namespace vestrel::installer
