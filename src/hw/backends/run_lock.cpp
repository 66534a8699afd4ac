// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "base/error_text.h"
#include "hw/platform_error.h"

namespace ruvuvuri::hw {
namespace {

constexpr auto kPoll = std::chrono::milliseconds(50);

[[noreturn]] void Refuse(const std::string& what, int error) {
    throw PlatformError(what + " (" + base::ErrorText(error) + "); " +
                        (error == ELOOP || error == ENOTDIR
                             ? "it is not what it should be: remove it as root and run again"
                             : "run ruvuvuri as root, on a system with a /run folder"));
}

}  // namespace

RunLock::RunLock(const std::string& folder, std::chrono::milliseconds wait) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        Refuse("cannot create the lock folder " + folder, errno);
    }
    const int folder_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder_fd < 0) {
        Refuse("cannot open the lock folder " + folder, errno);
    }
    // Read-only is enough for flock; O_NONBLOCK keeps anything but a file from
    // stalling the open.
    fd_ = ::openat(folder_fd, kRunLockFileName,
                   O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    const int open_error = errno;
    ::close(folder_fd);
    const std::string path = folder + "/" + kRunLockFileName;
    if (fd_ < 0) {
        Refuse("cannot open the lock file " + path, open_error);
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error != EWOULDBLOCK && error != EINTR) {
            ::close(fd_);
            throw PlatformError("cannot lock " + path + " (" + base::ErrorText(error) +
                                "); check that the folder is on a local file system");
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd_);
            throw PlatformError(
                "another ruvuvuri run is using the card; try again when it has finished");
        }
        std::this_thread::sleep_for(kPoll);
    }
}

RunLock::~RunLock() {
    // Closing the only descriptor of the open file releases the lock.
    ::close(fd_);
}

}  // namespace ruvuvuri::hw
