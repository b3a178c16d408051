// The bounds on calls waiting for polkit: one bus name, one user's dialogs, everyone's dialogs.

#include "service/waiting_calls.h"

#include <gtest/gtest.h>

#include <string>

namespace vardel::service {
namespace {

TEST(WaitingCalls, OneBusNameHoldsOnlyItsShareAndGetsItBackAsItsCallsAreAnswered) {
    WaitingCalls waiting;
    for (int i = 0; i < kMostWaitingPerCaller; ++i) {
        ASSERT_EQ(waiting.Enter(":1.7", -1, false), Admission::Admitted) << i;
    }
    EXPECT_EQ(waiting.Enter(":1.7", -1, false), Admission::CallerFull);
    // Another caller is not held up by it.
    EXPECT_EQ(waiting.Enter(":1.8", -1, false), Admission::Admitted);
    waiting.Leave(":1.7", -1, false);
    EXPECT_EQ(waiting.Enter(":1.7", -1, false), Admission::Admitted);
    EXPECT_EQ(waiting.Count(), kMostWaitingPerCaller + 1);
}

TEST(WaitingCalls, DialogsAreBoundedPerUserOverItsBusNamesAndForEveryoneButReadsGoOn) {
    WaitingCalls waiting;
    int name = 0;
    const auto next = [&name] { return ":1." + std::to_string(++name); };
    for (int i = 0; i < kMostDialogsPerUser; ++i) {
        ASSERT_EQ(waiting.Enter(next(), 1000, true), Admission::Admitted) << i;
    }
    EXPECT_EQ(waiting.Enter(next(), 1000, true), Admission::UserFull);
    // The same user's reads, which show no dialog, and another user's change still go.
    EXPECT_EQ(waiting.Enter(next(), 1000, false), Admission::Admitted);
    // Many users, a dialog each, up to everyone's bound.
    for (long user = 2000; user < 2000 + kMostDialogs - kMostDialogsPerUser; ++user) {
        ASSERT_EQ(waiting.Enter(next(), user, true), Admission::Admitted) << user;
    }
    EXPECT_EQ(waiting.Enter(next(), 4242, true), Admission::AllFull);
    EXPECT_EQ(waiting.Enter(next(), 4242, false), Admission::Admitted);
    // One answered dialog makes room for one.
    waiting.Leave(":1.1", 1000, true);
    EXPECT_EQ(waiting.Enter(next(), 4242, true), Admission::Admitted);
    EXPECT_EQ(waiting.Enter(next(), 4243, true), Admission::AllFull);
}

}  // namespace
}  // namespace vardel::service
