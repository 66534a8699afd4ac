#include "app/privileges.h"
#include "hw/realtime_bracket.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <grp.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "hw/platform_error.h"

namespace ruvuvuri::app {
namespace {

using ::testing::HasSubstr;

struct PlanCase {
    const char* sudo_uid;
    const char* sudo_gid;
    uid_t effective_uid;
    bool drop;
    uid_t uid;
    gid_t gid;
};

TEST(PlanPrivilegeDrop, WhenAndToWhom) {
    const PlanCase cases[] = {
        {nullptr, nullptr, 0, false, 0, 0},     // root, not through sudo
        {"1000", "1000", 1000, false, 0, 0},    // not root: nothing to give up
        {"abc", nullptr, 1000, false, 0, 0},    // not root: the values are not even read
        {"0", "0", 0, false, 0, 0},             // sudo from root
        {"1000", "1001", 0, true, 1000, 1001},  // the usual case
        {"65534", "0", 0, true, 65534, 0},      // a user whose group is root's
        {"4294967294", "7", 0, true, 4294967294u, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.sudo_uid ? c.sudo_uid : "(unset)") + " / " +
                     (c.sudo_gid ? c.sudo_gid : "(unset)"));
        const PrivilegeDrop plan = PlanPrivilegeDrop(c.sudo_uid, c.sudo_gid, c.effective_uid);
        EXPECT_EQ(plan.drop, c.drop);
        if (c.drop) {
            EXPECT_EQ(plan.uid, c.uid);
            EXPECT_EQ(plan.gid, c.gid);
        }
    }
}

TEST(PlanPrivilegeDrop, BadValuesAreErrorsNamingTheVariable) {
    struct BadCase {
        const char* sudo_uid;
        const char* sudo_gid;
        const char* expected;
    };
    const BadCase cases[] = {
        {"abc", "1000", "SUDO_UID is not a valid id ('abc')"},
        {"", "1000", "SUDO_UID is not a valid id ('')"},
        {"-1", "1000", "SUDO_UID"},
        {"+5", "1000", "SUDO_UID"},
        {" 1000", "1000", "SUDO_UID"},
        {"1000x", "1000", "SUDO_UID"},
        {"4294967295", "1000", "SUDO_UID"},  // (uid_t)-1 means "unchanged" to setuid
        {"99999999999999999999999", "1000", "SUDO_UID"},
        {"1000", "staff", "SUDO_GID is not a valid id ('staff')"},
        {"1000", nullptr, "SUDO_UID is set but SUDO_GID is not"},
        {nullptr, "1000", "SUDO_GID is set but SUDO_UID is not"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        try {
            PlanPrivilegeDrop(c.sudo_uid, c.sudo_gid, 0);
            ADD_FAILURE() << "accepted";
        } catch (const hw::PlatformError& error) {
            EXPECT_THAT(error.what(), HasSubstr(c.expected));
            EXPECT_THAT(error.what(), HasSubstr("; "));  // a remedy follows
        }
    }
}

bool RealtimeLimitRaised() {
    rlimit limit{};
    getrlimit(RLIMIT_RTPRIO, &limit);
    return limit.rlim_cur >= static_cast<rlim_t>(sched_get_priority_max(SCHED_FIFO));
}

// Done in a child process: the test program itself must stay root.
TEST(DropPrivileges, BecomesTheUserForGood) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root";
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int status = 0;
        try {
            DropPrivileges(PlanPrivilegeDrop("65534", "65533", 0));
            if (getuid() != 65534 || geteuid() != 65534) {
                status = 2;
            } else if (getgid() != 65533 || getegid() != 65533) {
                status = 3;
            } else if (getgroups(0, nullptr) != 0) {
                status = 4;
            } else if (setuid(0) == 0 || setgid(0) == 0) {
                status = 5;
            } else if (RealtimeLimitRaised()) {
                // The interrupt bracket keeps its full protection as the user
                // (where this machine lets root raise the limits at all).
                hw::RealtimeBracket bracket;
                bracket.Enter();
                const bool full = bracket.priority_raised() && bracket.memory_locked();
                bracket.Leave();
                status = full ? 0 : 6;
            }
        } catch (...) {
            status = 1;
        }
        _exit(status);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: threw, 2: uid, 3: gid, 4: groups, 5: root regained, 6: bracket weakened";
}

}  // namespace
}  // namespace ruvuvuri::app
