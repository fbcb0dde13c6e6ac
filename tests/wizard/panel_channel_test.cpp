// A worker's calls on a panel's channel while the panel's thread does not
// pump messages: none of them waits for that thread, and what the panel
// must do arrives as posted messages once it pumps again.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>
#include <vector>

#include "wizard/window_panel_channel.h"

namespace vestrel::wizard {
namespace {

TEST(WindowPanelChannel, AWorkerNeverWaitsForThePanelsThread) {
    HWND panel = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(panel, nullptr);
    PanelState state;
    WindowPanelChannel channel(panel, state);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread worker([&] {
        channel.SetStatus(u"Reading track 1 of 1...");
        channel.SetCaption(u" - Volume label: X");
        channel.SetRunState(RunState::Writing);
        channel.SetUserReply(panel_link::Retry);
        channel.EndBusyAnimation();
        channel.SetProgress(500);
        channel.PostUpdate(panel_update::NormalWithLinks, panel_link::SkipSource);
        SetEvent(done);
    });
    // This thread does not pump meanwhile: a call that sent to the panel
    // would keep the worker from ever finishing.
    const DWORD waited = WaitForSingleObject(done, 10000);
    // Had it sent, answer it now, so that the test fails rather than hangs.
    MSG message;
    while (MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0)
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    worker.join();
    EXPECT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_EQ(channel.GetRunState(), RunState::Writing);
    EXPECT_EQ(channel.GetUserReply(), panel_link::Retry);
    EXPECT_EQ(state.status, u"Reading track 1 of 1...");

    std::vector<std::pair<UINT, WPARAM>> posted;
    while (PeekMessageW(&message, panel, WM_USER, WM_USER + 100, PM_REMOVE))
        posted.emplace_back(message.message, message.wParam);
    const std::vector<std::pair<UINT, WPARAM>> expected = {
        {WM_PANELBARREADY, 0},
        {WM_PANELPROGRESS, 500},
        {WM_PANELUPDATE, panel_update::NormalWithLinks}};
    EXPECT_EQ(posted, expected);
    CloseHandle(done);
    DestroyWindow(panel);
}

}  // namespace
}  // namespace vestrel::wizard
