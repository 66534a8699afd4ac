// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/run_lock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "hw/platform_error.h"

namespace ruvuvuri::hw {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using Clock = std::chrono::steady_clock;

constexpr const char* kHeld =
    "another ruvuvuri run is using the card; try again when it has finished";

// Each test gets its own parent folder, so runs of the suite never share a
// lock; the lock folder inside it is created by the lock itself.
class RunLockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = std::string(RUVUVURI_BINARY_DIR) + "/run_lock_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        parent_ = pattern;
        place_.folder = parent_ + "/ruvuvuri";
        place_.owner = geteuid();
        file_ = place_.folder + "/" + kRunLockFileName;
    }
    void TearDown() override { std::filesystem::remove_all(parent_); }

    std::string parent_;
    RunLockPlace place_;
    std::string file_;
};

TEST_F(RunLockTest, CreatesAFolderClosedToOthersAndKeepsTheFile) {
    { RunLock lock(place_, 0ms); }
    struct stat folder {};
    ASSERT_EQ(lstat(place_.folder.c_str(), &folder), 0);
    EXPECT_TRUE(S_ISDIR(folder.st_mode));
    EXPECT_EQ(folder.st_mode & 077, 0u);
    struct stat file {};
    EXPECT_EQ(lstat(file_.c_str(), &file), 0) << "the lock file is never removed";
    RunLock again(place_, 0ms);
}

TEST_F(RunLockTest, SecondRunWaitsThenFailsWithTheMessage) {
    RunLock first(place_);
    const auto start = Clock::now();
    try {
        RunLock second(place_, 300ms, 20ms);
        FAIL() << "the second lock was granted while the first was held";
    } catch (const hw::PlatformError& error) {
        EXPECT_STREQ(error.what(), kHeld);
    }
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 300ms);
    EXPECT_LT(waited, 3s);
}

TEST_F(RunLockTest, WaitingRunGetsTheLockWhenTheOtherFinishes) {
    std::optional<RunLock> first(std::in_place, place_);
    std::thread finisher([&first] {
        std::this_thread::sleep_for(200ms);
        first.reset();
    });
    const auto start = Clock::now();
    EXPECT_NO_THROW({ RunLock second(place_, 5s, 10ms); });
    const auto waited = Clock::now() - start;
    finisher.join();
    EXPECT_GE(waited, 150ms);
    EXPECT_LT(waited, 4s);
}

// Whatever is planted where the lock belongs is refused at once, with one line
// that names it, and is left as it was: nothing blocks, loops or is followed.
TEST_F(RunLockTest, RefusesWhatIsNotItsOwnFile) {
    struct Case {
        const char* name;
        std::function<void()> plant;
        std::string expected;
        bool needs_root;
    };
    const auto in_folder = [this] { mkdir(place_.folder.c_str(), 0700); };
    const Case cases[] = {
        {"FIFO",
         [&] {
             in_folder();
             mkfifo(file_.c_str(), 0600);
         },
         "is a FIFO; remove it as root and run again", false},
        {"dangling symbolic link",
         [&] {
             in_folder();
             symlink("/nonexistent/ruvuvuri.lock", file_.c_str());
         },
         "is a symbolic link; remove it as root and run again", false},
        {"symbolic link to a file",
         [&] {
             in_folder();
             symlink("/etc/passwd", file_.c_str());
         },
         "is a symbolic link", false},
        {"folder",
         [&] {
             in_folder();
             mkdir(file_.c_str(), 0700);
         },
         "is a folder", false},
        {"file of another user",
         [&] {
             in_folder();
             close(open(file_.c_str(), O_CREAT | O_WRONLY, 0600));
             (void)!chown(file_.c_str(), 65534, 65534);
         },
         "belongs to uid 65534, not to root", true},
        {"lock folder is a symbolic link", [&] { symlink(parent_.c_str(), place_.folder.c_str()); },
         "is not a folder (a symbolic link)", false},
        {"lock folder of another user",
         [&] {
             in_folder();
             (void)!chown(place_.folder.c_str(), 65534, 65534);
         },
         "belongs to uid 65534, not to root", true},
        {"lock folder writable by others",
         [&] {
             in_folder();
             chmod(place_.folder.c_str(), 01777);
         },
         "is writable by other users", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needs_root && geteuid() != 0) {
            continue;  // only root can give a file away
        }
        std::filesystem::remove_all(place_.folder);
        c.plant();
        const auto start = Clock::now();
        try {
            RunLock lock(place_, 5s);
            ADD_FAILURE() << "granted";
        } catch (const hw::PlatformError& error) {
            const std::string text = error.what();
            EXPECT_THAT(text, HasSubstr(c.expected));
            EXPECT_EQ(text.find('\n'), std::string::npos);
        }
        EXPECT_LT(Clock::now() - start, 1s) << "a refusal does not wait for the lock";
    }
}

TEST_F(RunLockTest, MissingParentIsNamed) {
    place_.folder = parent_ + "/no/such/folder";
    try {
        RunLock lock(place_, 0ms);
        FAIL() << "a lock in a missing folder was granted";
    } catch (const hw::PlatformError& error) {
        EXPECT_THAT(error.what(), HasSubstr("cannot create the lock folder " + place_.folder));
        EXPECT_THAT(error.what(), HasSubstr("No such file or directory"));
    }
}

}  // namespace
}  // namespace ruvuvuri::hw
