#include "installer/installer_state.h"

namespace vestrel::installer {

InstallerState& State() {
    static InstallerState state;
    return state;
}

void RaiseStepAdvances(int count) {
    StateLock lock;
    State().steps.pendingAdvances += count;
}

bool IsCancelling() {
    StateLock lock;
    return State().steps.cancelling;
}

void SetCurrentFileName(const std::wstring& name) {
    StateLock lock;
    State().currentFileName = name;
}

void SetRememberedCommand(const std::wstring& command) {
    StateLock lock;
    State().rememberedCommand = command;
}

std::wstring RememberedCommand() {
    StateLock lock;
    return State().rememberedCommand;
}

}  // namespace vestrel::installer
