#include <gtest/gtest.h>

#include <map>

#include "wizard/thread_list.h"

namespace vestrel::wizard {
namespace {

using Handle = ThreadHandleList::Handle;

// Thread states by handle; handles not listed cannot be waited on.
struct FakeThreads {
    std::map<Handle, ThreadState> states;
    ThreadState operator()(Handle h) const {
        auto it = states.find(h);
        return it == states.end() ? ThreadState::WaitFailed : it->second;
    }
};

TEST(ThreadList, PruneKeepsLiveThreadsInOrderAndDropsEndedAndUnwaitable) {
    ThreadHandleList list;
    FakeThreads threads;
    for (Handle h = 1; h <= 6; ++h) {
        ASSERT_TRUE(list.Add(h));
        threads.states[h] = ThreadState::Running;
    }
    threads.states[2] = ThreadState::Ended;
    threads.states[5] = ThreadState::Ended;
    threads.states.erase(3);  // its wait fails
    EXPECT_EQ(list.Prune(threads), 3u);
    EXPECT_EQ(list.at(0), 1u);
    EXPECT_EQ(list.at(1), 4u);
    EXPECT_EQ(list.at(2), 6u);
    EXPECT_EQ(list.at(3), 0u);  // the terminating zero follows the live ones

    threads.states[1] = threads.states[4] = threads.states[6] = ThreadState::Ended;
    EXPECT_EQ(list.Prune(threads), 0u);
    EXPECT_FALSE(list.AnyLeft());
}

TEST(ThreadList, AFullListRefusesAndRemovingMakesRoom) {
    ThreadHandleList list;
    EXPECT_FALSE(list.Add(0));
    for (Handle h = 1; h < ThreadHandleList::kEntries; ++h)
        ASSERT_TRUE(list.Add(h));
    EXPECT_TRUE(list.Full());
    EXPECT_FALSE(list.Add(5000));
    EXPECT_EQ(list.at(ThreadHandleList::kEntries - 1), 0u);

    EXPECT_TRUE(list.Remove(500));
    EXPECT_FALSE(list.Remove(500));
    EXPECT_EQ(list.at(499), 501u);
    EXPECT_TRUE(list.Add(5000));
    EXPECT_EQ(list.at(ThreadHandleList::kEntries - 2), 5000u);
}

}  // namespace
}  // namespace vestrel::wizard
