// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

#include "base/error_text.h"
#include "hw/platform_error.h"

namespace ruvuvuri::hw {
namespace {

// Only root can replace the file in its folder, so one reopen is already
// unexpected; the bound keeps a misbehaving system from looping forever.
constexpr int kMaxReopens = 3;

// `what` ("the lock file /run/ruvuvuri/card.lock") is something root must remove.
[[noreturn]] void RefuseToUse(const std::string& what, const std::string& why) {
    throw PlatformError(what + " " + why + "; remove it as root and run again");
}

[[noreturn]] void RefuseAsRoot(const std::string& failed, int error) {
    throw PlatformError("cannot " + failed + " (" + base::ErrorText(error) +
                        "); run ruvuvuri as root");
}

const char* KindOf(mode_t mode) {
    static constexpr std::pair<mode_t, const char*> kKinds[] = {{S_IFREG, "a file"},
                                                                {S_IFDIR, "a folder"},
                                                                {S_IFLNK, "a symbolic link"},
                                                                {S_IFIFO, "a FIFO"},
                                                                {S_IFSOCK, "a socket"}};
    for (const auto& [type, kind] : kKinds) {
        if ((mode & S_IFMT) == type) {
            return kind;
        }
    }
    return "a device";
}

// A descriptor that stays closed unless released.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

// What was just opened, refused unless `owner` owns it (and, for a `file`, it is
// a regular file).
struct stat Examine(const Descriptor& opened, const std::string& what, uid_t owner, bool file) {
    struct stat info {};
    if (::fstat(opened.get(), &info) != 0) {
        RefuseAsRoot("examine " + what, errno);
    }
    if (file && !S_ISREG(info.st_mode)) {
        RefuseToUse(what, std::string("is ") + KindOf(info.st_mode));
    }
    if (info.st_uid != owner) {
        RefuseToUse(what, "belongs to uid " + std::to_string(info.st_uid) + ", not to " +
                              (owner == 0 ? std::string("root") : "uid " + std::to_string(owner)));
    }
    return info;
}

int OpenFolder(const RunLockPlace& place) {
    const std::string& folder = place.folder;
    const std::string what = "the lock folder " + folder;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        throw PlatformError("cannot create " + what + " (" + base::ErrorText(errno) +
                            "); run ruvuvuri as root, on a system with a /run folder");
    }
    Descriptor opened(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (opened.get() < 0) {
        const int error = errno;
        struct stat named {};
        if ((error == ELOOP || error == ENOTDIR) && ::lstat(folder.c_str(), &named) == 0) {
            RefuseToUse(what, "is not a folder (" + std::string(KindOf(named.st_mode)) + ")");
        }
        RefuseAsRoot("open " + what, error);
    }
    if ((Examine(opened, what, place.owner, false).st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        RefuseToUse(what, "is writable by other users");
    }
    return opened.release();
}

// Read-only is enough for flock. O_NONBLOCK keeps a FIFO or a device from
// stalling the open; the type is checked right after.
int OpenLockFile(int folder_fd, const std::string& what, uid_t owner) {
    Descriptor opened(::openat(folder_fd, kRunLockFileName,
                               O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    if (opened.get() < 0) {
        const int error = errno;
        if (error == ELOOP || error == EISDIR) {
            RefuseToUse(what, error == ELOOP ? "is a symbolic link" : "is a folder");
        }
        RefuseAsRoot("create " + what, error);
    }
    Examine(opened, what, owner, true);
    return opened.release();
}

// Waits for the flock until the deadline; false when another run still holds it.
bool LockBefore(int fd, const std::string& path, std::chrono::steady_clock::time_point deadline,
                std::chrono::milliseconds poll_interval) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        const int error = errno;
        if (error != EWOULDBLOCK && error != EINTR) {
            throw PlatformError("cannot lock " + path + " (" + base::ErrorText(error) +
                                "); check that the folder is on a local file system");
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return false;
        }
        if (error == EWOULDBLOCK) {
            std::this_thread::sleep_for(
                std::min<std::chrono::steady_clock::duration>(poll_interval, deadline - now));
        }
    }
}

// Whether the name in the folder still leads to the file that was locked.
bool StillNamed(int folder_fd, int fd) {
    struct stat named {
    }, held{};
    return ::fstatat(folder_fd, kRunLockFileName, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(fd, &held) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino;
}

}  // namespace

RunLock::RunLock(const RunLockPlace& place, std::chrono::milliseconds wait,
                 std::chrono::milliseconds poll_interval) {
    const std::string path = place.folder + "/" + kRunLockFileName;
    const Descriptor folder(OpenFolder(place));
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (int attempt = 0; attempt <= kMaxReopens; ++attempt) {
        Descriptor file(OpenLockFile(folder.get(), "the lock file " + path, place.owner));
        if (!LockBefore(file.get(), path, deadline, poll_interval)) {
            throw PlatformError(
                "another ruvuvuri run is using the card; try again when it has finished");
        }
        // Locking a file that has just been replaced would let a second run in.
        if (StillNamed(folder.get(), file.get())) {
            fd_ = file.release();
            return;
        }
    }
    RefuseToUse("the lock file " + path, "keeps being replaced");
}

RunLock::~RunLock() {
    // Closing the only descriptor of the open file releases the lock.
    ::close(fd_);
}

}  // namespace ruvuvuri::hw
