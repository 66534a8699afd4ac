// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/signal_block.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <csignal>

#include "support/signal_helpers.h"

namespace ruvuvuri::base {
namespace {

using test::CountDelivery;
using test::CurrentMask;
using test::Deliveries;
using test::SameMask;

bool IsPending(int signal) {
    sigset_t pending;
    sigpending(&pending);
    return sigismember(&pending, signal) == 1;
}

// Installs the counting handler for SIGUSR1 and starts from a mask that already
// blocks SIGUSR2, so "restored exactly" means more than "emptied".
class SignalBlockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        struct sigaction action {};
        action.sa_handler = CountDelivery;
        sigemptyset(&action.sa_mask);
        sigaction(SIGUSR1, &action, &previous_action_);
        Deliveries() = 0;
        sigset_t usr2;
        sigemptyset(&usr2);
        sigaddset(&usr2, SIGUSR2);
        pthread_sigmask(SIG_BLOCK, &usr2, &previous_mask_);
    }
    void TearDown() override {
        pthread_sigmask(SIG_SETMASK, &previous_mask_, nullptr);
        sigaction(SIGUSR1, &previous_action_, nullptr);
    }

    struct sigaction previous_action_ {};
    sigset_t previous_mask_{};
};

TEST_F(SignalBlockTest, SignalRaisedInsideStaysPendingUntilRestore) {
    const sigset_t before = CurrentMask();
    SignalBlock block;
    block.Block();
    EXPECT_TRUE(block.active());
    const sigset_t inside = CurrentMask();
    EXPECT_EQ(sigismember(&inside, SIGINT), 1);
    EXPECT_EQ(sigismember(&inside, SIGTERM), 1);

    raise(SIGUSR1);
    EXPECT_EQ(Deliveries(), 0);
    EXPECT_TRUE(IsPending(SIGUSR1));

    block.Restore();
    EXPECT_FALSE(block.active());
    EXPECT_EQ(Deliveries(), 1);
    EXPECT_FALSE(IsPending(SIGUSR1));
    EXPECT_TRUE(SameMask(CurrentMask(), before));
}

TEST_F(SignalBlockTest, RepeatedCallsKeepTheOriginalMask) {
    const sigset_t before = CurrentMask();
    SignalBlock block;
    block.Restore();  // not blocked: must not touch the mask
    EXPECT_TRUE(SameMask(CurrentMask(), before));

    block.Block();
    block.Block();  // must not save the all-blocked mask over the original
    block.Restore();
    EXPECT_TRUE(SameMask(CurrentMask(), before));
    block.Restore();
    EXPECT_TRUE(SameMask(CurrentMask(), before));
}

}  // namespace
}  // namespace ruvuvuri::base
