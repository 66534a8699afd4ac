// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/profile_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <utility>

#include "base/error_text.h"
#include "hw/backends/bounded_file.h"
#include "hw/backends/card_profile.h"
#include "hw/backends/write_all.h"

// The profile is locked with flock; a save writes a temporary file beside it
// and renames it over the profile, so the file is always either the old or the
// new state.
namespace ruvuvuri::hw {

namespace {

namespace fs = std::filesystem;

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

std::string Unwritable(const fs::path& path, const std::string& what) {
    return UnwritableMessage(path, what, base::ErrorText(errno));
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
            throw ProfileError(Unwritable(profile, "cannot create a file"));
        }
    }
    ~TempFile() {
        if (fd_ >= 0) {
            ::close(fd_);
            ::unlink(name_.c_str());
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return fd_; }
    const std::string& name() const { return name_; }
    // Hands the descriptor over (it now names the renamed file).
    int Release() { return std::exchange(fd_, -1); }

  private:
    std::string name_;
    int fd_ = -1;
};

bool SameFile(int fd, const fs::path& path) {
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

const char* const kLocalVolume = "a local file system";

// Saving replaces the file the link points at, not the link.
fs::path FileToSave(const fs::path& given) {
    std::error_code ignored;
    if (fs::is_symlink(given, ignored)) {
        const fs::path target = fs::canonical(given, ignored);
        return target.empty() ? given : target;
    }
    return given;
}

std::uint32_t LockClockMs() {
    using std::chrono::milliseconds;
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<milliseconds>(now).count());
}

LockAttempt TryLockProfile(const fs::path& path) {
    LockAttempt attempt;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        attempt.open_error = base::ErrorText(errno);
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            attempt.lock_error = base::ErrorText(errno);
        }
        ::close(fd);
    } else if (SameFile(fd, path)) {
        // Not so when a run that saved meanwhile renamed a new file over the
        // path: the lock has to be on the file the path names now.
        attempt.held = fd;
    } else {
        ::close(fd);
    }
    return attempt;
}

void CloseHeld(int held) {
    ::close(held);
}

CardState LoadHeldProfile(int, const fs::path& path) {
    std::vector<std::uint8_t> bytes;
    const auto error = ReadRegularFile(path, kMaxProfileBytes, kMaxProfileBytes, bytes);
    CardState loaded = ParseProfileFile(error, bytes, path);
    TempFile probe(path);  // this also clears a save left unfinished
    return loaded;
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
    if (WriteAll(temp.fd(), text.data(), text.size()) != 0 || ::fsync(temp.fd()) != 0) {
        throw ProfileError(Unwritable(path_, "cannot write a file"));
    }
    // Lock the new file before it appears under the profile's name, so the run
    // keeps the profile to itself until the session ends.
    ::flock(temp.fd(), LOCK_EX | LOCK_NB);
    if (::rename(temp.name().c_str(), path_.c_str()) != 0) {
        throw ProfileError(Unwritable(path_, "cannot replace the profile"));
    }
    ::close(std::exchange(lock_fd_, temp.Release()));
    const int folder = ::open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

}  // namespace ruvuvuri::hw
