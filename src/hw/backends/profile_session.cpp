// SPDX-License-Identifier: GPL-2.0-or-later
#include <chrono>
#include <thread>

#include "base/printable.h"
#include "hw/backends/card_profile.h"
#include "hw/backends/profile_file.h"

namespace ruvuvuri::hw {

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kLockWaitMs = 10000;
constexpr auto kLockPoll = std::chrono::milliseconds(50);

}  // namespace

fs::path FolderOf(const fs::path& path) {
    const fs::path folder = path.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

std::string UnwritableMessage(const fs::path& path, const std::string& what,
                              const std::string& error) {
    return "simulator profile " + base::Printable(path.string()) + " cannot be saved: " + what +
           " in its folder \"" + base::Printable(FolderOf(path).string()) + "\" (" + error +
           "); make the folder writable or copy the profile to a writable folder";
}

CardState ParseProfileFile(const std::optional<std::string>& read_error,
                           const std::vector<std::uint8_t>& bytes, const fs::path& path) {
    if (read_error) {
        throw ProfileError("cannot read simulator profile " + base::Printable(path.string()) +
                           " (" + *read_error + ")");
    }
    return ParseProfile(std::string(bytes.begin(), bytes.end()), FolderOf(path), path.string());
}

ProfileSession::ProfileSession(const fs::path& path) : path_(FileToSave(path)) {
    const std::string name = base::Printable(path_.string());
    const std::uint32_t start = LockClockMs();
    for (;;) {
        const LockAttempt attempt = TryLockProfile(path_);
        if (attempt.open_error) {
            throw ProfileError("cannot open simulator profile " + name + " (" +
                               *attempt.open_error + "); check the path (a new profile may be {})");
        }
        if (attempt.lock_error) {
            throw ProfileError("cannot lock simulator profile " + name + " (" +
                               *attempt.lock_error + "); use a profile on " + kLocalVolume);
        }
        if (attempt.held != -1) {
            lock_fd_ = attempt.held;
            break;
        }
        if (LockClockMs() - start >= kLockWaitMs) {
            throw ProfileError("simulator profile " + name +
                               " is in use: another run holds the profile; try again when it "
                               "has ended");
        }
        std::this_thread::sleep_for(kLockPoll);
    }

    try {
        loaded_ = LoadHeldProfile(lock_fd_, path_);
    } catch (...) {
        CloseHeld(lock_fd_);
        lock_fd_ = -1;
        throw;
    }
}

ProfileSession::~ProfileSession() {
    if (lock_fd_ != -1) {
        CloseHeld(lock_fd_);
    }
}

}  // namespace ruvuvuri::hw
