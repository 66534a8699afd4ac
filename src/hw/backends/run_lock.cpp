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

using base::ErrorText;

namespace {

// Only root can replace the file in its folder, so one reopen is already
// unexpected; the bound keeps a misbehaving system from looping forever.
constexpr int kMaxReopens = 3;

constexpr const char* kRemoveRemedy = "; remove it as root and run again";

[[noreturn]] void Refuse(const std::string& text) {
    throw PlatformError(text);
}

std::string OwnerName(uid_t owner) {
    return owner == 0 ? std::string("root") : "uid " + std::to_string(owner);
}

const char* KindOf(mode_t mode) {
    switch (mode & S_IFMT) {
        case S_IFREG:
            return "a file";
        case S_IFDIR:
            return "a folder";
        case S_IFLNK:
            return "a symbolic link";
        case S_IFIFO:
            return "a FIFO";
        case S_IFSOCK:
            return "a socket";
        default:
            return "a device";
    }
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

int OpenFolder(const RunLockPlace& place) {
    const std::string& folder = place.folder;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        Refuse("cannot create the lock folder " + folder + " (" + ErrorText(errno) +
               "); run ruvuvuri as root, on a system with a /run folder");
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat named {};
        if ((error == ELOOP || error == ENOTDIR) && ::lstat(folder.c_str(), &named) == 0) {
            Refuse("the lock folder " + folder + " is not a folder (" + KindOf(named.st_mode) +
                   ")" + kRemoveRemedy);
        }
        Refuse("cannot open the lock folder " + folder + " (" + ErrorText(error) +
               "); run ruvuvuri as root");
    }
    Descriptor guard(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        Refuse("cannot examine the lock folder " + folder + " (" + ErrorText(errno) +
               "); run ruvuvuri as root");
    }
    if (info.st_uid != place.owner) {
        Refuse("the lock folder " + folder + " belongs to uid " + std::to_string(info.st_uid) +
               ", not to " + OwnerName(place.owner) + kRemoveRemedy);
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        Refuse("the lock folder " + folder + " is writable by other users" + kRemoveRemedy);
    }
    return guard.release();
}

// Read-only is enough for flock. O_NONBLOCK keeps a FIFO or a device from
// stalling the open; the type is checked right after.
int OpenLockFile(int folder_fd, const std::string& path, uid_t owner) {
    const int fd = ::openat(folder_fd, kRunLockFileName,
                            O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP) {
            Refuse("the lock file " + path + " is a symbolic link" + kRemoveRemedy);
        }
        if (error == EISDIR) {
            Refuse("the lock file " + path + " is a folder" + kRemoveRemedy);
        }
        Refuse("cannot create the lock file " + path + " (" + ErrorText(error) +
               "); run ruvuvuri as root");
    }
    Descriptor guard(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        Refuse("cannot examine the lock file " + path + " (" + ErrorText(errno) +
               "); run ruvuvuri as root");
    }
    if (!S_ISREG(info.st_mode)) {
        Refuse("the lock file " + path + " is " + KindOf(info.st_mode) + kRemoveRemedy);
    }
    if (info.st_uid != owner) {
        Refuse("the lock file " + path + " belongs to uid " + std::to_string(info.st_uid) +
               ", not to " + OwnerName(owner) + kRemoveRemedy);
    }
    return guard.release();
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
            Refuse("cannot lock " + path + " (" + ErrorText(error) +
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
        Descriptor file(OpenLockFile(folder.get(), path, place.owner));
        if (!LockBefore(file.get(), path, deadline, poll_interval)) {
            Refuse("another ruvuvuri run is using the card; try again when it has finished");
        }
        // Locking a file that has just been replaced would let a second run in.
        if (StillNamed(folder.get(), file.get())) {
            fd_ = file.release();
            return;
        }
    }
    Refuse("the lock file " + path + " keeps being replaced" + kRemoveRemedy);
}

RunLock::~RunLock() {
    if (fd_ >= 0) {
        // Closing the only descriptor of the open file releases the lock.
        ::close(fd_);
    }
}

}  // namespace ruvuvuri::hw
