// The interface thread waiting for a worker in real windows: what the
// worker sends to the thread's windows meanwhile is answered, as a message
// box owned by a panel needs.
#include <gtest/gtest.h>

#include <windows.h>

#include "engine/worker_threads.h"

namespace vestrel {
namespace {

constexpr UINT kAsk = WM_APP + 3;
constexpr LRESULT kAnswer = 42;

LRESULT CALLBACK AnsweringProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kAsk)
        return kAnswer;
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(WaitForWorker, AnswersWhatTheWorkerSendsMeanwhile) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = AnsweringProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VestrelWorkerWaitTest";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    // The worker sends only once the start is over, so that only the wait
    // can answer it; unanswered, the send gives up after five seconds.
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(go, nullptr);
    DWORD_PTR answer = 0;
    ThreadStartBlock block;
    auto worker = StartWorker(block, [&](ThreadStartBlock& b) {
        MarkStarted(b);
        WaitForSingleObject(go, 5000);
        SendMessageTimeoutW(window, kAsk, 0, 0, SMTO_NORMAL, 5000, &answer);
    });
    ASSERT_TRUE(worker);
    SetEvent(go);
    WaitForWorker(worker);
    EXPECT_FALSE(worker->Running());
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(kAnswer));
    EXPECT_FALSE(AnyThreadLeft());
    CloseHandle(go);
    DestroyWindow(window);
}

}  // namespace
}  // namespace vestrel
