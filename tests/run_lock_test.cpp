#include "app/run_lock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "hw/platform_error.h"

namespace ruvuvuri::app {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using Clock = std::chrono::steady_clock;

// Each test gets its own folder, so runs of the suite never share a lock.
class RunLockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = std::string(RUVUVURI_BINARY_DIR) + "/run_lock_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        path_ = dir_ + "/ruvuvuri.lock";
    }
    void TearDown() override {
        unlink(path_.c_str());
        rmdir(dir_.c_str());
    }

    std::string dir_;
    std::string path_;
};

TEST_F(RunLockTest, SecondRunWaitsThenFailsWithTheMessage) {
    RunLock first(path_);
    const auto start = Clock::now();
    try {
        RunLock second(path_, 300ms, 20ms);
        FAIL() << "the second lock was granted while the first was held";
    } catch (const hw::PlatformError& error) {
        EXPECT_STREQ(error.what(),
                     "another ruvuvuri run is using the card; try again when it has finished");
    }
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 300ms);
    EXPECT_LT(waited, 3s);
}

TEST_F(RunLockTest, GrantedAgainAfterRelease) {
    { RunLock first(path_); }
    RunLock second(path_, 0ms);
    SUCCEED();
}

TEST_F(RunLockTest, WaitingRunGetsTheLockWhenTheOtherFinishes) {
    std::optional<RunLock> first(std::in_place, path_);
    std::thread finisher([&first] {
        std::this_thread::sleep_for(200ms);
        first.reset();
    });
    const auto start = Clock::now();
    EXPECT_NO_THROW({ RunLock second(path_, 5s, 10ms); });
    const auto waited = Clock::now() - start;
    finisher.join();
    EXPECT_GE(waited, 150ms);
    EXPECT_LT(waited, 4s);
}

TEST_F(RunLockTest, UnusableLockFileNamesThePath) {
    const std::string missing = dir_ + "/no/such/folder/ruvuvuri.lock";
    try {
        RunLock lock(missing, 0ms);
        FAIL() << "a lock in a missing folder was granted";
    } catch (const hw::PlatformError& error) {
        EXPECT_THAT(error.what(), HasSubstr("cannot open the lock file " + missing));
        EXPECT_THAT(error.what(), HasSubstr("No such file or directory"));
    }
}

}  // namespace
}  // namespace ruvuvuri::app
