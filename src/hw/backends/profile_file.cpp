// SPDX-License-Identifier: GPL-2.0-or-later
// The profile's file work on POSIX systems: a flock taken without waiting, a
// save through a temporary file renamed over the profile, and the bounded
// reads of the profile and the BIOS image it names.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/error_text.h"
#include "base/printable.h"
#include "hw/backends/profile.h"
#include "hw/backends/write_all.h"

namespace ruvuvuri::hw {
namespace {

namespace fs = std::filesystem;

// Far above any card's state; a larger file is not a profile, and reading it
// would only exhaust memory.
constexpr std::uint64_t kMaxProfileBytes = 64u << 20;

fs::path FolderOf(const fs::path& path) {
    const fs::path folder = path.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// Where a save writes the new state first: one name per profile, so that a
// save cut short leaves a file the next save replaces. A name too long to
// extend is cut and told apart again by a hash of the whole (FNV-1a).
std::string TempName(const fs::path& profile) {
    std::string name = profile.filename().string();
    if (name.size() > 200) {
        std::uint64_t hash = 0xcbf29ce484222325u;
        for (const char c : name) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
        }
        name = name.substr(0, 200) + "-" + std::to_string(hash);
    }
    return (FolderOf(profile) / ("." + name + ".saving")).string();
}

ProfileError Unwritable(const fs::path& path, const std::string& what, int error) {
    return ProfileError("simulator profile " + base::Printable(path.string()) +
                        " cannot be saved: " + what + " in its folder \"" +
                        base::Printable(FolderOf(path).string()) + "\" (" + base::ErrorText(error) +
                        "); make the folder writable or copy the profile to a writable folder");
}

// Reads what `fd` holds, within the limits of ReadRegularFile.
std::optional<std::string> ReadHeld(int fd, std::uint64_t size_limit, std::size_t read_limit,
                                    std::vector<std::uint8_t>& bytes) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::string("not a regular file");
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > size_limit) {
        return "it is " + std::to_string(size) + " bytes long, over the limit of " +
               std::to_string(size_limit);
    }
    bytes.assign(static_cast<std::size_t>(std::min<std::uint64_t>(size, read_limit)), 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return base::ErrorText(errno);
        }
        if (got == 0) {
            break;  // it shrank: what is there is what it holds
        }
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return std::nullopt;
}

// Non-blocking, so that a FIFO or device named by mistake is refused instead
// of waiting for a writer.
int OpenToRead(const fs::path& path) {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

}  // namespace

std::optional<std::string> ReadRegularFile(const fs::path& path, std::uint64_t size_limit,
                                           std::size_t read_limit,
                                           std::vector<std::uint8_t>& bytes) {
    const int fd = OpenToRead(path);
    if (fd < 0) {
        return base::ErrorText(errno);
    }
    auto error = ReadHeld(fd, size_limit, read_limit, bytes);
    ::close(fd);
    return error;
}

// A profile that is a symbolic link is saved where the link points.
ProfileFile::ProfileFile(const fs::path& path) : path_(path) {
    std::error_code ignored;
    if (fs::is_symlink(path, ignored)) {
        path_ = fs::canonical(path, ignored);
        path_ = path_.empty() ? path : path_;
    }
    const std::string name = base::Printable(path_.string());
    const int fd = OpenToRead(path_);
    if (fd < 0) {
        throw ProfileError("cannot open simulator profile " + name + " (" + base::ErrorText(errno) +
                           "); check the path (a new profile may be {})");
    }
    held_ = fd;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        throw ProfileError(error == EWOULDBLOCK
                               ? "simulator profile " + name +
                                     " is in use by another run; try again when it has ended"
                               : "cannot lock simulator profile " + name + " (" +
                                     base::ErrorText(error) + "); use a profile on a local disk");
    }
    std::vector<std::uint8_t> bytes;
    if (const auto error = ReadHeld(fd, kMaxProfileBytes, kMaxProfileBytes, bytes)) {
        ::close(fd);
        throw ProfileError("cannot read simulator profile " + name + " (" + *error + ")");
    }
    text_.assign(bytes.begin(), bytes.end());
    // Found out now, before the card is reprogrammed, rather than at the save.
    if (::access(FolderOf(path_).c_str(), W_OK | X_OK) != 0) {
        const int error = errno;
        ::close(fd);
        throw Unwritable(path_, "cannot create a file", error);
    }
}

ProfileFile::~ProfileFile() {
    ::close(static_cast<int>(held_));
}

void ProfileFile::Save(const std::string& text) {
    const std::string temp = TempName(path_);
    // Under the profile's lock whatever has that name is left from a save cut
    // short. Created anew and never followed.
    ::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        throw Unwritable(path_, "cannot create a file", errno);
    }
    // The permissions the profile had.
    struct stat original {};
    if (::fstat(static_cast<int>(held_), &original) == 0) {
        ::fchmod(fd, original.st_mode & 07777);
    }
    const bool written = WriteAll(fd, text.data(), text.size()) == 0 && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!written || ::rename(temp.c_str(), path_.c_str()) != 0) {
        const int failed = written ? errno : error;
        ::unlink(temp.c_str());
        throw Unwritable(path_, written ? "cannot replace the profile" : "cannot write a file",
                         failed);
    }
    const int folder = ::open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

bool NothingAt(const fs::path& path) {
    struct stat existing {};
    return ::lstat(path.c_str(), &existing) != 0 && errno == ENOENT;
}

// A temporary file in the same folder first, then a hard link under the final
// name, which fails rather than replace anything there.
void WriteNewFile(const fs::path& path, std::string_view bytes, const std::string& cannot_create) {
    std::string temp = (FolderOf(path) / ".ruvuvuri-new.XXXXXX").string();
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        throw ProfileError(cannot_create + " (" + base::ErrorText(errno) +
                           "); give --sim= a file in an existing, writable folder");
    }
    // mkostemp makes the file private; a profile is an ordinary file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const bool written = ::fchmod(fd, 0666 & ~mask) == 0 &&
                         WriteAll(fd, bytes.data(), bytes.size()) == 0 && ::fsync(fd) == 0;
    const int write_error = errno;
    ::close(fd);
    const bool linked = written && ::link(temp.c_str(), path.c_str()) == 0;
    const int link_error = errno;
    ::unlink(temp.c_str());
    if (!written) {
        throw ProfileError(cannot_create + " (" + base::ErrorText(write_error) +
                           "); free some space in its folder or choose another folder");
    }
    if (!linked) {
        throw ProfileError(cannot_create + " (" + base::ErrorText(link_error) + "); " +
                           (link_error == EEXIST ? "remove " + base::Printable(path.string()) +
                                                       " or give the profile another name"
                                                 : "choose a folder on a local file system"));
    }
}

void RemoveFile(const fs::path& path) {
    ::unlink(path.c_str());
}

}  // namespace ruvuvuri::hw
