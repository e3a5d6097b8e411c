#include "sync/PollToken.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(PollTokenTest, PollingResumesOnlyWhenEveryHolderHasGivenItsTokenBack) {
    CPollGate gate;
    EXPECT_FALSE(gate.Suspended());
    CPollToken plugWindow = gate.Suspend();
    CPollToken transfer = gate.Suspend();
    plugWindow.Release();
    plugWindow.Release(); // a second release must not return the other holder's suspension
    EXPECT_FALSE(plugWindow.Held());
    EXPECT_TRUE(gate.Suspended());

    CPollToken moved = std::move(transfer);
    EXPECT_FALSE(transfer.Held());
    EXPECT_TRUE(gate.Suspended());
    CPollToken empty;
    empty = std::move(moved); // a move keeps the one suspension
    EXPECT_TRUE(gate.Suspended());

    // The bulk transfer takes its token on the worker; it may end on another thread.
    std::thread([token = std::move(empty)]() mutable { token.Release(); }).join();
    EXPECT_FALSE(gate.Suspended());

    CPollToken over = gate.Suspend();
    over = gate.Suspend(); // assigning over a held token gives the old one back
    EXPECT_TRUE(gate.Suspended());
    over = CPollToken();
    EXPECT_FALSE(gate.Suspended());
}

TEST(PollTokenTest, TokensTakenAndReturnedOnManyThreadsBalance) {
    CPollGate gate;
    CPollToken held = gate.Suspend();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&gate] {
            for (int i = 0; i < 1000; ++i) {
                CPollToken token = gate.Suspend();
                EXPECT_TRUE(gate.Suspended());
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_TRUE(gate.Suspended());
    held.Release();
    EXPECT_FALSE(gate.Suspended());
}

TEST(PollTokenTest, ATokenMayOutliveItsGate) {
    CPollToken late;
    {
        CPollGate gate;
        late = gate.Suspend();
    }
    EXPECT_TRUE(late.Held());
    late.Release(); // no gate left to count down: nothing may break
    EXPECT_FALSE(late.Held());
}
