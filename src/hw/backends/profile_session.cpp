// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/card_profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "base/error_text.h"
#include "base/printable.h"
#include "hw/backends/bounded_file.h"

namespace ruvuvuri::hw {

namespace {

namespace fs = std::filesystem;

constexpr auto kLockWait = std::chrono::seconds(10);
constexpr auto kLockPoll = std::chrono::milliseconds(50);
// Far above any card's state (100,000 registers take 3 MB); a larger file is
// not a profile, and reading it would only exhaust memory.
constexpr std::uint64_t kMaxProfileBytes = 64u << 20;

// The folder a profile lives in, for the BIOS path and the temporary file.
fs::path FolderOf(const fs::path& path) {
    const fs::path folder = path.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// Where a save writes the new state before renaming it over the profile: one
// name per profile, so that a save killed half way leaves a file the next save
// of that profile finds and removes. A name too long to extend is shortened
// and made unique again by a hash of the whole.
std::string TempName(const fs::path& path) {
    constexpr std::size_t kLongestKept = 200;
    std::string name = path.filename().string();
    if (name.size() > kLongestKept) {
        std::uint64_t hash = 0xcbf29ce484222325u;  // FNV-1a: stable across builds
        for (const char c : name) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
        }
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "-%016llx", static_cast<unsigned long long>(hash));
        name = name.substr(0, kLongestKept) + suffix;
    }
    return (FolderOf(path) / ("." + name + ".saving")).string();
}

std::string UnwritableMessage(const fs::path& path, const std::string& what, int error) {
    return "simulator profile " + base::Printable(path.string()) + " cannot be saved: " + what +
           " in its folder \"" + base::Printable(FolderOf(path).string()) + "\" (" +
           base::ErrorText(error) +
           "); make the folder writable or copy the profile to a writable folder";
}

// A temporary file beside the profile: created, and removed again unless it
// was renamed over the profile. Only under the profile's lock: whatever has
// the name then is left from a save that did not finish, and goes. Created
// anew and never followed, so no link planted there is written through.
class TempFile {
  public:
    explicit TempFile(const fs::path& profile) : name_(TempName(profile)) {
        ::unlink(name_.c_str());
        fd_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            throw ProfileError(UnwritableMessage(profile, "cannot create a file", errno));
        }
    }
    ~TempFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!renamed_) {
            ::unlink(name_.c_str());
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return fd_; }
    const std::string& name() const { return name_; }
    // Hands the descriptor over (it now names the renamed file).
    int Release() {
        renamed_ = true;
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    std::string name_;
    int fd_ = -1;
    bool renamed_ = false;
};

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

bool SameFile(int fd, const fs::path& path) {
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

ProfileSession::ProfileSession(const std::filesystem::path& path) : path_(path) {
    std::error_code ignored;
    // Saving replaces the file the link points at, not the link.
    if (fs::is_symlink(path_, ignored)) {
        path_ = fs::canonical(path_, ignored);
        if (path_.empty()) {
            path_ = path;
        }
    }
    const std::string name = base::Printable(path_.string());
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            throw ProfileError("cannot open simulator profile " + name + " (" +
                               base::ErrorText(errno) +
                               "); check the path (a new profile may be {})");
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // A run that saved meanwhile renamed a new file over the path: the
            // lock has to be on the file the path names now.
            if (SameFile(fd, path_)) {
                lock_fd_ = fd;
                break;
            }
            ::close(fd);
        } else {
            const int error = errno;
            ::close(fd);
            if (error != EWOULDBLOCK && error != EINTR) {
                throw ProfileError("cannot lock simulator profile " + name + " (" +
                                   base::ErrorText(error) +
                                   "); use a profile on a local file system");
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            throw ProfileError("simulator profile " + name +
                               " is in use: another run holds the profile; try again when it "
                               "has ended");
        }
        std::this_thread::sleep_for(kLockPoll);
    }

    try {
        std::vector<std::uint8_t> bytes;
        if (const auto error = ReadRegularFile(path_, kMaxProfileBytes, kMaxProfileBytes, bytes)) {
            throw ProfileError("cannot read simulator profile " + name + " (" + *error + ")");
        }
        loaded_ =
            ParseProfile(std::string(bytes.begin(), bytes.end()), FolderOf(path_), path_.string());
        // Find out now, before the run reprograms the card, whether its state
        // can be saved at the end (this also clears a save left unfinished).
        TempFile probe(path_);
    } catch (...) {
        ::close(lock_fd_);
        lock_fd_ = -1;
        throw;
    }
}

ProfileSession::~ProfileSession() {
    if (lock_fd_ >= 0) {
        ::close(lock_fd_);
    }
}

void ProfileSession::Save(const CardState& state) const {
    const std::string text = FormatProfile(state);
    TempFile temp(path_);
    struct stat original {};
    if (::fstat(lock_fd_, &original) == 0) {
        // Keep the owner and permissions the profile had; a failure to keep
        // the owner leaves the file the run's own, which is still usable.
        if (::fchown(temp.fd(), original.st_uid, original.st_gid) != 0) {
            errno = 0;
        }
        ::fchmod(temp.fd(), original.st_mode & 07777);
    }
    if (!WriteAll(temp.fd(), text) || ::fsync(temp.fd()) != 0) {
        throw ProfileError(UnwritableMessage(path_, "cannot write a file", errno));
    }
    // Lock the new file before it appears under the profile's name, so the run
    // keeps the profile to itself until the session ends.
    ::flock(temp.fd(), LOCK_EX | LOCK_NB);
    if (::rename(temp.name().c_str(), path_.c_str()) != 0) {
        throw ProfileError(UnwritableMessage(path_, "cannot replace the profile", errno));
    }
    const int new_fd = temp.Release();
    ::close(lock_fd_);
    lock_fd_ = new_fd;
    const int folder = ::open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

}  // namespace ruvuvuri::hw
