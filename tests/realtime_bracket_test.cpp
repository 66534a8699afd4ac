// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/realtime_bracket.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <unistd.h>

#include <csignal>
#include <fstream>
#include <string>

#include <thread>
#include "support/signal_helpers.h"

namespace ruvuvuri::hw {
namespace {

using test::CountDelivery;
using test::CurrentMask;
using test::Deliveries;
using test::SameMask;

TEST(RealtimeBracket, SignalsWaitUntilLeaveAndTheMaskIsRestored) {
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = CountDelivery;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, &previous);
    Deliveries() = 0;

    sigset_t before;
    pthread_sigmask(SIG_BLOCK, nullptr, &before);

    RealtimeBracket bracket;
    bracket.Enter();
    EXPECT_TRUE(bracket.entered());
    raise(SIGUSR1);
    EXPECT_EQ(Deliveries(), 0) << "a signal ran its handler inside the bracket";
    bracket.Leave();
    EXPECT_FALSE(bracket.entered());
    EXPECT_EQ(Deliveries(), 1) << "the pending signal was not delivered on Leave";

    sigset_t after;
    pthread_sigmask(SIG_BLOCK, nullptr, &after);
    EXPECT_TRUE(SameMask(before, after));

    sigaction(SIGUSR1, &previous, nullptr);
}

// Runs on its own thread so the test program's main thread keeps its policy
// whatever happens. The thread starts as SCHED_BATCH, which anyone may choose,
// so a bracket that "restores" to a hard-coded SCHED_OTHER is caught.
TEST(RealtimeBracket, RestoresTheThreadsSchedulingPolicy) {
    std::thread worker([] {
        const pthread_t self = pthread_self();
        sched_param batch{};
        ASSERT_EQ(pthread_setschedparam(self, SCHED_BATCH, &batch), 0);

        RealtimeBracket bracket;
        bracket.Enter();
        int policy = -1;
        sched_param param{};
        ASSERT_EQ(pthread_getschedparam(self, &policy, &param), 0);
        if (bracket.priority_raised()) {
            EXPECT_EQ(policy, SCHED_FIFO);
            EXPECT_EQ(param.sched_priority, sched_get_priority_max(SCHED_FIFO));
        } else {
            // Refused (no privilege): the thread must be left as it was.
            EXPECT_EQ(policy, SCHED_BATCH);
        }
        bracket.Leave();

        ASSERT_EQ(pthread_getschedparam(self, &policy, &param), 0);
        EXPECT_EQ(policy, SCHED_BATCH);
        EXPECT_EQ(param.sched_priority, 0);
    });
    worker.join();
}

// A line of /proc/thread-self/status ("VmLck:", "SigBlk:"), its value only.
std::string StatusField(const std::string& name) {
    std::ifstream status("/proc/thread-self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(name, 0) == 0) {
            return line.substr(line.find_first_not_of(" \t", name.size()));
        }
    }
    return "";
}

// As root, what the kernel sees while the bracket is open: the top real-time
// priority, locked memory and every signal blocked but the two that cannot be
// (and glibc's two internal ones); all of it given back on Leave.
TEST(RealtimeBracket, AsRootTheKernelSeesTheWholeBracket) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root for SCHED_FIFO and mlockall";
    }
    std::thread worker([] {
        const std::string mask_before = StatusField("SigBlk:");
        RealtimeBracket bracket;
        bracket.Enter();
        int policy = -1;
        sched_param param{};
        pthread_getschedparam(pthread_self(), &policy, &param);
        EXPECT_EQ(policy, SCHED_FIFO);
        EXPECT_EQ(param.sched_priority, sched_get_priority_max(SCHED_FIFO));
#ifndef __SANITIZE_ADDRESS__  // the sanitizer's shadow memory is far too large to lock
        EXPECT_NE(StatusField("VmLck:"), "0 kB");
#endif
        EXPECT_EQ(StatusField("SigBlk:"), "fffffffe7ffbfeff");
        bracket.Leave();
        pthread_getschedparam(pthread_self(), &policy, &param);
        EXPECT_EQ(policy, SCHED_OTHER);
        EXPECT_EQ(StatusField("VmLck:"), "0 kB");
        EXPECT_EQ(StatusField("SigBlk:"), mask_before);
    });
    worker.join();
}

TEST(RealtimeBracket, LeaveWithoutEnterChangesNothing) {
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, nullptr, &before);
    RealtimeBracket bracket;
    bracket.Leave();
    sigset_t after;
    pthread_sigmask(SIG_BLOCK, nullptr, &after);
    EXPECT_TRUE(SameMask(before, after));
    EXPECT_FALSE(bracket.entered());
}

}  // namespace
}  // namespace ruvuvuri::hw
