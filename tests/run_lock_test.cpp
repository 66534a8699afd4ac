// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/linux_io.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
        folder_ = parent_ + "/ruvuvuri";
        file_ = folder_ + "/" + kRunLockFileName;
    }
    void TearDown() override { std::filesystem::remove_all(parent_); }

    std::string parent_;
    std::string folder_;
    std::string file_;
};

TEST_F(RunLockTest, CreatesAFolderClosedToOthersAndKeepsTheFile) {
    { RunLock lock(folder_, 0ms); }
    struct stat folder {};
    ASSERT_EQ(lstat(folder_.c_str(), &folder), 0);
    EXPECT_TRUE(S_ISDIR(folder.st_mode));
    EXPECT_EQ(folder.st_mode & 077, 0u);
    struct stat file {};
    EXPECT_EQ(lstat(file_.c_str(), &file), 0) << "the lock file is never removed";
    RunLock again(folder_, 0ms);
}

TEST_F(RunLockTest, SecondRunWaitsThenFailsWithTheMessage) {
    RunLock first(folder_);
    const auto start = Clock::now();
    try {
        RunLock second(folder_, 300ms);
        FAIL() << "the second lock was granted while the first was held";
    } catch (const hw::PlatformError& error) {
        EXPECT_STREQ(error.what(), kHeld);
    }
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 300ms);
    EXPECT_LT(waited, 3s);
}

TEST_F(RunLockTest, WaitingRunGetsTheLockWhenTheOtherFinishes) {
    std::optional<RunLock> first(std::in_place, folder_);
    std::thread finisher([&first] {
        std::this_thread::sleep_for(200ms);
        first.reset();
    });
    const auto start = Clock::now();
    EXPECT_NO_THROW({ RunLock second(folder_, 5s); });
    const auto waited = Clock::now() - start;
    finisher.join();
    EXPECT_GE(waited, 150ms);
    EXPECT_LT(waited, 4s);
}

// A symbolic link where the lock or its folder belongs is refused at once,
// with one line that says to remove it, and is never followed.
TEST_F(RunLockTest, RefusesSymbolicLinks) {
    const std::function<void()> plants[] = {
        [&] {
            mkdir(folder_.c_str(), 0700);
            symlink("/nonexistent/ruvuvuri.lock", file_.c_str());
        },
        [&] {
            mkdir(folder_.c_str(), 0700);
            symlink((parent_ + "/elsewhere").c_str(), file_.c_str());
        },
        [&] { symlink(parent_.c_str(), folder_.c_str()); },
    };
    for (const auto& plant : plants) {
        std::filesystem::remove_all(folder_);
        plant();
        try {
            RunLock lock(folder_, 5s);
            ADD_FAILURE() << "granted";
        } catch (const hw::PlatformError& error) {
            const std::string text = error.what();
            EXPECT_THAT(text, HasSubstr("remove it as root and run again"));
            EXPECT_EQ(text.find('\n'), std::string::npos);
        }
        EXPECT_FALSE(std::filesystem::exists(parent_ + "/elsewhere"));
    }
}

TEST_F(RunLockTest, MissingParentIsNamed) {
    folder_ = parent_ + "/no/such/folder";
    try {
        RunLock lock(folder_, 0ms);
        FAIL() << "a lock in a missing folder was granted";
    } catch (const hw::PlatformError& error) {
        EXPECT_THAT(error.what(), HasSubstr("cannot create the lock folder " + folder_));
        EXPECT_THAT(error.what(), HasSubstr("No such file or directory"));
    }
}

}  // namespace
}  // namespace ruvuvuri::hw
