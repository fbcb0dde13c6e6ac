#include "wizard/window_panel_channel.h"

#include <cstdint>

#include "drive/drive_lock.h"
#include "wizard/frame_state.h"

namespace vestrel::wizard {

uint32_t WindowPanelChannel::Get(const wchar_t* property) {
    DriveLockGuard lock;
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetPropW(panel_, property)));
}

void WindowPanelChannel::Set(const wchar_t* property, uint32_t value) {
    DriveLockGuard lock;
    SetPropW(panel_, property, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value)));
}

void WindowPanelChannel::SetStatus(const std::u16string& text) {
    DriveLockGuard lock;
    state_.status = text;
}

void WindowPanelChannel::SetCaption(const std::u16string& text) {
    DriveLockGuard lock;
    state_.caption = text;
}

RunState WindowPanelChannel::GetRunState() {
    return static_cast<RunState>(Get(kPropRunState));
}

void WindowPanelChannel::SetRunState(RunState state) {
    Set(kPropRunState, static_cast<uint32_t>(state));
}

uint32_t WindowPanelChannel::GetSkipFlag() {
    return Get(kPropSkipFlag);
}

void WindowPanelChannel::SetSkipFlag(uint32_t flag) {
    Set(kPropSkipFlag, flag);
}

uint32_t WindowPanelChannel::GetUserReply() {
    return Get(kPropUserReply);
}

void WindowPanelChannel::SetUserReply(uint32_t reply) {
    Set(kPropUserReply, reply);
}

void WindowPanelChannel::PostUpdate(uint32_t how, uint32_t links) {
    PostMessageW(panel_, WM_PANELUPDATE, how, links);
}

bool WindowPanelChannel::ProgressBarReady() {
    DriveLockGuard lock;
    return GetPropW(panel_, kPropBar) != nullptr;
}

void WindowPanelChannel::EndBusyAnimation() {
    PostMessageW(panel_, WM_PANELBARREADY, 0, 0);
}

void WindowPanelChannel::SetProgress(uint32_t position) {
    PostMessageW(panel_, WM_PANELPROGRESS, position, 0);
}

// The writer's own message box, owned by the panel: the interface thread,
// should it wait for this worker meanwhile, keeps answering the messages
// the box sends it, and closes the box when it stops the worker.
void WindowPanelChannel::ShowInformation(const std::u16string& text) {
    if (GetRunState() == RunState::Stopped)
        return;
    {
        DriveLockGuard lock;
        boxThread_ = GetCurrentThreadId();
    }
    MessageBoxW(panel_, Wide(text.c_str()), kProductName, MB_OK | MB_ICONINFORMATION);
    DriveLockGuard lock;
    boxThread_ = 0;
}

void WindowPanelChannel::CloseInformation() {
    DWORD thread = 0;
    {
        DriveLockGuard lock;
        thread = boxThread_;
    }
    if (!thread)
        return;
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM) {
            wchar_t name[8] = {};
            if (GetClassNameW(window, name, 8) && lstrcmpW(name, L"#32770") == 0)
                PostMessageW(window, WM_COMMAND, IDOK, 0);
            return TRUE;
        },
        0);
}

}  // namespace vestrel::wizard
