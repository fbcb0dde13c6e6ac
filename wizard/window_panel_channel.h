// The engine's panel channel over a progress panel window: the values a
// worker shares with its panel are the panel's window properties, guarded
// by the drive lock, and everything the panel must do on the screen is
// posted to it. A worker never waits for the user-interface thread.
#pragma once

#include <windows.h>

#include "engine/panel_channel.h"

namespace vestrel::wizard {

// Panel properties shared with the worker.
inline constexpr wchar_t kPropPanel[] = L"_0";      // the panel's own record
inline constexpr wchar_t kPropBar[] = L"_C";        // the progress bar
inline constexpr wchar_t kPropRunState[] = L"_D";   // RunState
inline constexpr wchar_t kPropSkipFlag[] = L"_F";   // 1 once Skip Source was confirmed
inline constexpr wchar_t kPropUserReply[] = L"_G";  // the last link clicked

// Posted by a worker: PanelUpdate (wParam how, lParam links); the bar to
// leave its busy animation; the bar's position (wParam 0..1000).
inline constexpr UINT WM_PANELUPDATE = WM_USER + 1;
inline constexpr UINT WM_PANELBARREADY = WM_USER + 10;
inline constexpr UINT WM_PANELPROGRESS = WM_USER + 11;

class WindowPanelChannel : public PanelChannel {
  public:
    // `state` is the panel's record, whose texts the worker replaces.
    WindowPanelChannel(HWND panel, PanelState& state) : panel_(panel), state_(state) {}

    void SetStatus(const std::u16string& text) override;
    void SetCaption(const std::u16string& text) override;
    RunState GetRunState() override;
    void SetRunState(RunState state) override;
    uint32_t GetSkipFlag() override;
    void SetSkipFlag(uint32_t flag) override;
    uint32_t GetUserReply() override;
    void SetUserReply(uint32_t reply) override;
    void PostUpdate(uint32_t how, uint32_t links) override;
    bool ProgressBarReady() override;
    void EndBusyAnimation() override;
    void SetProgress(uint32_t position) override;
    void ShowInformation(const std::u16string& text) override;
    // Closes the message box the worker shows, if any, so that a worker
    // told to stop meanwhile can end. Called by the panel's own thread.
    void CloseInformation();

  private:
    uint32_t Get(const wchar_t* property);
    void Set(const wchar_t* property, uint32_t value);

    HWND panel_;
    PanelState& state_;
    DWORD boxThread_ = 0;  // the worker's thread while its box is up
};

}  // namespace vestrel::wizard
