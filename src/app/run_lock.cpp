#include "app/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "base/error_text.h"
#include "hw/platform_error.h"

namespace ruvuvuri::app {

using base::ErrorText;

namespace {

// The file is opened read-only: flock needs no write access, so a lock file
// left by another user does not stand in the way. Creating is tried only when
// it is missing, because an O_CREAT open of someone else's file in a sticky
// folder such as /run/lock is refused (fs.protected_regular).
int OpenLockFile(const std::string& path) {
    for (;;) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT) {
            return fd;
        }
        fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
        // Another run created it in between: open that one.
    }
}

}  // namespace

RunLock::RunLock(const std::string& path, std::chrono::milliseconds wait,
                 std::chrono::milliseconds poll_interval) {
    fd_ = OpenLockFile(path);
    if (fd_ < 0) {
        const int error = errno;
        throw hw::PlatformError("cannot open the lock file " + path + " (" + ErrorText(error) +
                                "); run as root, or make sure " + path + " can be created");
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            return;
        }
        const int error = errno;
        if (error == EINTR) {
            continue;
        }
        if (error != EWOULDBLOCK) {
            ::close(fd_);
            fd_ = -1;
            throw hw::PlatformError("cannot lock " + path + " (" + ErrorText(error) +
                                    "); check that the folder is on a local file system");
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            ::close(fd_);
            fd_ = -1;
            throw hw::PlatformError(
                "another ruvuvuri run is using the card; try again when it has finished");
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(poll_interval, deadline - now));
    }
}

RunLock::~RunLock() {
    if (fd_ >= 0) {
        // Closing the only descriptor of the open file releases the lock.
        ::close(fd_);
    }
}

}  // namespace ruvuvuri::app
