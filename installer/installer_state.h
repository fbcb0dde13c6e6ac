// Process-wide installer state, shared by the dialog (UI thread) and the
// installation worker. The texts and the step signal are read and written
// only under the installer lock.
#pragma once

#include <windows.h>

#include <string>

namespace vestrel::installer {

struct StepSignal {
    int pendingAdvances = 0;
    bool cancelling = false;
};

struct InstallerState {
    CRITICAL_SECTION lock;
    HANDLE cancelEvent = nullptr;  // manual reset
    // Locked.
    std::wstring statusText;
    std::wstring currentFileName;
    StepSignal steps;
    // The previous installation's uninstall command, read at start, and the
    // new one once the worker has written the entry.
    std::wstring rememberedCommand;
};

InstallerState& State();

class StateLock {
  public:
    StateLock() { EnterCriticalSection(&State().lock); }
    ~StateLock() { LeaveCriticalSection(&State().lock); }
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;
};

// Worker side of the step signal.
void RaiseStepAdvances(int count);
bool IsCancelling();
void SetCurrentFileName(const std::wstring& name);
void SetRememberedCommand(const std::wstring& command);
std::wstring RememberedCommand();

}  // namespace vestrel::installer
