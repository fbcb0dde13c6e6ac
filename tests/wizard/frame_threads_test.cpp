#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "wizard/frame_threads.h"
#include "wizard/thread_list.h"

namespace vestrel::wizard {
namespace {

DWORD WINAPI WaitForRelease(void* event) {
    WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    return 0;
}

// Threads parked on an event until the test ends.
class FrameThreads : public testing::Test {
  protected:
    void SetUp() override {
        release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ASSERT_TRUE(release_);
    }
    void TearDown() override {
        SetEvent(release_);
        for (HANDLE t : threads_) {
            WaitForSingleObject(t, INFINITE);
            CloseListedThread(t);
        }
        CloseHandle(release_);
        EXPECT_EQ(PruneThreadList(), 0u);
    }
    HANDLE Start() {
        HANDLE t = StartListedThread(WaitForRelease, release_);
        if (t)
            threads_.push_back(t);
        return t;
    }
    static HANDLE Duplicate(HANDLE thread) {
        HANDLE copy = nullptr;
        DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
        return copy;
    }
    HANDLE release_ = nullptr;
    std::vector<HANDLE> threads_;
};

TEST_F(FrameThreads, EndedAndClosedThreadsLeaveTheList) {
    HANDLE first = Start();
    HANDLE second = Start();
    HANDLE third = Start();
    ASSERT_TRUE(first && second && third);
    EXPECT_EQ(PruneThreadList(), 3u);

    // A panel closing its handle takes it out first, though the thread runs on.
    threads_[1] = Duplicate(second);
    CloseListedThread(second);
    EXPECT_EQ(PruneThreadList(), 2u);

    // A handle closed behind the list's back cannot be waited on: dropped.
    threads_[2] = Duplicate(third);
    CloseHandle(third);
    EXPECT_EQ(PruneThreadList(), 1u);
    EXPECT_TRUE(AnyThreadLeft());

    SetEvent(release_);
    WaitForSingleObject(first, INFINITE);
    EXPECT_EQ(PruneThreadList(), 0u);
    EXPECT_FALSE(AnyThreadLeft());
}

TEST_F(FrameThreads, NoThreadStartsWhenTheListIsFull) {
    HANDLE running = Start();
    ASSERT_TRUE(running);
    // The rest of the room taken by copies of the running thread's handle.
    for (size_t i = 1; i + 1 < ThreadHandleList::kEntries; ++i) {
        threads_.push_back(Duplicate(running));
        ASSERT_TRUE(ListThread(threads_.back())) << i;
    }
    EXPECT_FALSE(ListThread(running));
    EXPECT_EQ(Start(), nullptr);
    EXPECT_EQ(PruneThreadList(), ThreadHandleList::kEntries - 1);
}

}  // namespace
}  // namespace vestrel::wizard
