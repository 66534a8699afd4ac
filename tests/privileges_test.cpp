// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/privileges.h"
#include "hw/realtime_bracket.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <grp.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "hw/platform_error.h"
#include "support/profiles.h"
#include "support/run_program.h"

namespace ruvuvuri::app {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr ProcessIds kRoot{0, 0, 0};
constexpr ProcessIds kUser{1000, 1000, 100};
constexpr ProcessIds kSetuidRootRunByUser{1000, 0, 100};

// The user database as the tests see it: uid 1000 has primary group 1234.
std::optional<gid_t> FakeUserDatabase(uid_t uid) {
    return uid == 1000 ? std::optional<gid_t>(1234) : std::nullopt;
}

struct PlanCase {
    const char* name;
    ProcessIds ids;
    LauncherVariables launcher;
    bool drop;
    uid_t uid;
    gid_t gid;
};

TEST(PlanPrivilegeDrop, WhenAndToWhom) {
    const PlanCase cases[] = {
        {"root, no launcher", kRoot, {}, false, 0, 0},
        {"not root", kUser, {"0", "0", "0"}, false, 0, 0},
        {"not root, values not read", kUser, {"abc", nullptr, "x"}, false, 0, 0},
        {"sudo from root", kRoot, {"0", "0"}, false, 0, 0},
        {"sudo", kRoot, {"1000", "1001"}, true, 1000, 1001},
        {"sudo, user in root's group", kRoot, {"65534", "0"}, true, 65534, 0},
        {"sudo, largest id", kRoot, {"4294967294", "7"}, true, 4294967294u, 7},
        {"sudo wins over pkexec", kRoot, {"1000", "1001", "2000"}, true, 1000, 1001},
        {"pkexec, primary group", kRoot, {nullptr, nullptr, "1000"}, true, 1000, 1234},
        {"pkexec from root", kRoot, {nullptr, nullptr, "0"}, false, 0, 0},
        // Installed setuid-root: whoever runs it sets the environment.
        {"setuid, SUDO_* says root", kSetuidRootRunByUser, {"0", "0"}, true, 1000, 100},
        {"setuid, SUDO_* names another", kSetuidRootRunByUser, {"2000", "2000"}, true, 1000, 100},
        {"setuid, SUDO_* malformed", kSetuidRootRunByUser, {"abc", nullptr}, true, 1000, 100},
        {"setuid, PKEXEC_UID says root",
         kSetuidRootRunByUser,
         {nullptr, nullptr, "0"},
         true,
         1000,
         100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PrivilegeDrop plan = PlanPrivilegeDrop(c.ids, c.launcher, FakeUserDatabase);
        EXPECT_EQ(plan.drop, c.drop);
        if (c.drop) {
            EXPECT_EQ(plan.uid, c.uid);
            EXPECT_EQ(plan.gid, c.gid);
        }
    }
}

TEST(PlanPrivilegeDrop, BadValuesAreErrorsNamingTheVariable) {
    struct BadCase {
        LauncherVariables launcher;
        const char* expected;
    };
    const BadCase cases[] = {
        {{"abc", "1000"}, "SUDO_UID is not a valid id ('abc')"},
        {{"", "1000"}, "SUDO_UID is not a valid id ('')"},
        {{"-1", "1000"}, "SUDO_UID"},
        {{"+5", "1000"}, "SUDO_UID"},
        {{" 1000", "1000"}, "SUDO_UID"},
        {{"1000x", "1000"}, "SUDO_UID"},
        {{"4294967295", "1000"}, "SUDO_UID"},  // (uid_t)-1 means "unchanged" to setuid
        {{"99999999999999999999999", "1000"}, "SUDO_UID"},
        {{"1000", "staff"}, "SUDO_GID is not a valid id ('staff')"},
        {{"1000", nullptr}, "SUDO_UID is set but SUDO_GID is not"},
        {{nullptr, "1000"}, "SUDO_GID is set but SUDO_UID is not"},
        {{nullptr, nullptr, "me"}, "PKEXEC_UID is not a valid id ('me')"},
        {{nullptr, nullptr, "4242"}, "PKEXEC_UID names uid 4242, which has no entry"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        try {
            PlanPrivilegeDrop(kRoot, c.launcher, FakeUserDatabase);
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
    return limit.rlim_cur >= static_cast<rlim_t>(hw::BracketPriority());
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
            constexpr rlim_t kLow = 64 * 1024;
            const rlimit low{kLow, kLow};
            setrlimit(RLIMIT_MEMLOCK, &low);
            DropPrivileges({true, 65534, 65533});
            rlimit memory{};
            getrlimit(RLIMIT_MEMLOCK, &memory);
            if (getuid() != 65534 || geteuid() != 65534) {
                status = 2;
            } else if (getgid() != 65533 || getegid() != 65533) {
                status = 3;
            } else if (getgroups(0, nullptr) != 0) {
                status = 4;
            } else if (setuid(0) == 0 || setgid(0) == 0) {
                status = 5;
            } else if (memory.rlim_max != kLow &&  // where this machine refused to raise it
                       memory.rlim_max != hw::kBracketLockedMemoryBytes) {
                status = 7;
            } else if (RealtimeLimitRaised()) {
                // The interrupt bracket keeps its priority as the user (where
                // this machine lets root raise the limit at all).
                hw::RealtimeBracket bracket;
                bracket.Enter();
                const bool raised = bracket.priority_raised();
                bracket.Leave();
                status = raised ? 0 : 6;
            }
        } catch (...) {
            status = 1;
        }
        _exit(status);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: threw, 2: uid, 3: gid, 4: groups, 5: root regained, "
                                         "6: bracket weakened, 7: memory lock limit not as used";
}

// End to end, as root: the program is started as through sudo (or installed
// setuid-root and run by a user) and must touch the user's paths only as that
// user. `user` is a folder of the user's own; `secret` is a file only root may
// write; `root_only` is a folder only root may enter.
class InvokingUser : public ::testing::Test {
  protected:
    static constexpr uid_t kUid = 65534;
    static constexpr gid_t kGid = 65534;

    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root";
        }
        fs::permissions(dir_.path(), fs::perms::owner_all | fs::perms::group_exec |
                                         fs::perms::group_read | fs::perms::others_exec |
                                         fs::perms::others_read);
        fs::create_directory(user_);
        ASSERT_EQ(chown(user_.c_str(), kUid, kGid), 0);
        test::WriteFile(secret_, "root's own\n");
        fs::permissions(secret_, fs::perms::owner_read | fs::perms::owner_write);
        fs::create_directory(root_only_);
        fs::permissions(root_only_, fs::perms::owner_all);
    }

    static uid_t OwnerOf(const fs::path& path) {
        struct stat info {};
        return lstat(path.c_str(), &info) == 0 ? info.st_uid : static_cast<uid_t>(-1);
    }

    test::TempDir dir_;
    fs::path user_ = dir_ / "user";
    fs::path secret_ = dir_ / "secret";
    fs::path root_only_ = dir_ / "root-only";
};

struct UserPathCase {
    const char* name;
    std::vector<std::string> args;
    int exit_code;
    fs::path created;  // must belong to the user afterwards
};

// The owner of each file the run created shows that the run was already the
// user when it opened it; what only root may touch stays as it was.
TEST_F(InvokingUser, SudoRunOpensUserPathsAsTheUser) {
    fs::create_symlink(secret_, user_ / "trace-link");
    const fs::path profile = test::WriteProfile(user_, {});
    ASSERT_EQ(chown(profile.c_str(), kUid, kGid), 0);
    const fs::path root_profile_folder = dir_ / "root-profile";
    fs::create_directory(root_profile_folder);
    const fs::path root_profile = test::WriteProfile(root_profile_folder, {});
    fs::permissions(root_profile, fs::perms::owner_read | fs::perms::owner_write);
    // A profile of the user's that names a BIOS file only root may read.
    const fs::path bios_folder = user_ / "bios";
    fs::create_directory(bios_folder);
    ASSERT_EQ(chown(bios_folder.c_str(), kUid, kGid), 0);
    const fs::path bios_profile = test::WriteProfile(bios_folder, {});
    ASSERT_EQ(chown(bios_profile.c_str(), kUid, kGid), 0);
    fs::permissions(bios_folder / "card.rom", fs::perms::owner_read);

    const UserPathCase cases[] = {
        {"trace in the user's folder",
         {"--sim", "--trace=" + (user_ / "t").string(), "--info"},
         0,
         user_ / "t"},
        {"trace linked to root's file",
         {"--sim", "--trace=" + (user_ / "trace-link").string(), "--info"},
         255,
         {}},
        {"trace in a root-only folder",
         {"--sim", "--trace=" + (root_only_ / "t").string(), "--info"},
         255,
         {}},
        {"profile saved back", {"--sim=" + profile.string(), "--info"}, 0, profile},
        {"profile only root may read", {"--sim=" + root_profile.string(), "--info"}, 255, {}},
        {"profile naming root's BIOS file", {"--sim=" + bios_profile.string(), "--info"}, 255, {}},
    };
    const std::string root_profile_text = test::ReadFile(root_profile);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result =
            test::RunRuvuvuri(c.args, "", {{"SUDO_UID", "65534"}, {"SUDO_GID", "65534"}});
        EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
        if (!c.created.empty()) {
            EXPECT_EQ(OwnerOf(c.created), kUid);
        }
    }
    EXPECT_EQ(test::ReadFile(secret_), "root's own\n");
    EXPECT_FALSE(fs::exists(root_only_ / "t"));
    EXPECT_EQ(test::ReadFile(root_profile), root_profile_text);
    EXPECT_EQ(OwnerOf(root_profile), 0u);
}

TEST_F(InvokingUser, SetuidRootCopyIgnoresSudoVariables) {
    struct statvfs volume {};
    ASSERT_EQ(statvfs(dir_.path().c_str(), &volume), 0);
    if ((volume.f_flag & ST_NOSUID) != 0) {
        GTEST_SKIP() << "the temporary folder is mounted nosuid";
    }
    const fs::path copy = dir_ / "ruvuvuri";
    fs::copy_file(fs::path(RUVUVURI_BINARY_DIR) / "ruvuvuri", copy);
    ASSERT_EQ(chmod(copy.c_str(), 04755), 0);
    const std::map<std::string, std::string> claims_root = {
        {"SUDO_UID", "0"}, {"SUDO_GID", "0"}, {"PKEXEC_UID", "0"}, {"DISPLAY", ""}};
    const test::RunAs user{kUid, kGid};

    const auto into_user = test::RunProgram(
        copy, {"--sim", "--trace=" + (user_ / "t").string(), "--info"}, "", claims_root, user);
    EXPECT_EQ(into_user.exit_code, 0) << into_user.err;
    EXPECT_EQ(OwnerOf(user_ / "t"), kUid);

    const auto into_root_only = test::RunProgram(
        copy, {"--sim", "--trace=" + (root_only_ / "t").string(), "--info"}, "", claims_root, user);
    EXPECT_EQ(into_root_only.exit_code, 255);
    EXPECT_THAT(into_root_only.err, HasSubstr("cannot write the trace file"));
    EXPECT_FALSE(fs::exists(root_only_ / "t"));
}

}  // namespace
}  // namespace ruvuvuri::app
