// SPDX-License-Identifier: GPL-2.0-or-later
// Windows goes through the ANSI file functions, which the 95 family implements
// (the wide ones that std::filesystem uses fail there), and saves by writing
// "<profile>.new" completely, then moving it over the profile: in one step on
// the NT family; on the 95 family, which cannot replace a file, by deleting the
// profile first. Should a crash come between the two, the profile is missing
// and its copy holds the state: NothingAt() then says something is there, so
// no new profile is made over it, and the open says what to do.
#include <algorithm>
#include <cstdio>

#include "base/printable.h"
#include "hw/backend.h"
#include "hw/backends/profile.h"

#ifdef _WIN32
#include <windows.h>

#include "base/win_error_text.h"
#include "hw/backends/win_ports.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/error_text.h"
#include "hw/backends/write_all.h"
#endif

namespace ruvuvuri::hw {
namespace {

namespace fs = std::filesystem;

// Far above any card's state; a larger file is not a profile, and reading it
// would only exhaust memory.
constexpr std::uint64_t kMaxProfileBytes = 64u << 20;

#ifdef _WIN32
using File = HANDLE;
const HANDLE kNoFile = INVALID_HANDLE_VALUE;

std::string LastErrorText() {
    return base::WinErrorText(GetLastError());
}

// Shared in every way the 95 family accepts, so that a file another program
// has open is still read.
HANDLE OpenToRead(const fs::path& path) {
    return CreateFileA(path.string().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void Close(HANDLE file) {
    CloseHandle(file);
}

constexpr DWORD kWholeFile = 0xFFFFFFFF;

std::string CopyOf(const fs::path& path) {
    return path.string() + ".new";
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

ProfileError Unwritable(const fs::path& path, const std::string& what, DWORD error) {
    return ProfileError("simulator profile " + base::Printable(path.string()) +
                        " cannot be saved: " + what + " (" + base::WinErrorText(error) +
                        "); make its folder writable or copy the profile to a writable folder");
}

// The whole of `bytes` into a new file at `path` (replacing one there when
// `replace`), flushed to the disk; the system's error code, or 0.
DWORD WriteWhole(const std::string& path, std::string_view bytes, bool replace) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                              replace ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    DWORD error = 0;
    for (std::size_t done = 0; error == 0 && done < bytes.size();) {
        DWORD wrote = 0;
        if (!WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &wrote,
                       nullptr) ||
            wrote == 0) {
            error = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
        }
        done += wrote;
    }
    if (error == 0 && !FlushFileBuffers(file)) {
        error = GetLastError();
    }
    CloseHandle(file);
    if (error != 0) {
        DeleteFileA(path.c_str());
    }
    return error;
}

#else
using File = int;
constexpr int kNoFile = -1;

std::string LastErrorText() {
    return base::ErrorText(errno);
}

// Non-blocking, so that a FIFO or device named by mistake is refused instead
// of waiting for a writer.
int OpenToRead(const fs::path& path) {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

void Close(int fd) {
    ::close(fd);
}

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

#endif

std::optional<std::string> ReadHeld(File file, std::uint64_t size_limit, std::size_t read_limit,
                                    std::vector<std::uint8_t>& bytes) {
#ifdef _WIN32
    // A device or pipe (CON, NUL, COM1) is never waited on.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        return std::string("not a regular file");
    }
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        return LastErrorText();
    }
    const std::uint64_t size = (static_cast<std::uint64_t>(high) << 32) | low;
#else
    struct stat info {};
    if (::fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::string("not a regular file");
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
#endif
    if (size > size_limit) {
        return "it is " + std::to_string(size) + " bytes long, over the limit of " +
               std::to_string(size_limit);
    }
    bytes.assign(static_cast<std::size_t>(std::min<std::uint64_t>(size, read_limit)), 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
#ifdef _WIN32
        DWORD got = 0;
        if (!ReadFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got,
                      nullptr)) {
            return LastErrorText();
        }
#else
        const ssize_t got = ::read(file, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return LastErrorText();
        }
#endif
        if (got == 0) {
            break;  // it shrank: what is there is what it holds
        }
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadRegularFile(const fs::path& path, std::uint64_t size_limit,
                                           std::size_t read_limit,
                                           std::vector<std::uint8_t>& bytes) {
    const File file = OpenToRead(path);
    if (file == kNoFile) {
        return LastErrorText();
    }
    auto error = ReadHeld(file, size_limit, read_limit, bytes);
    Close(file);
    return error;
}

#ifdef _WIN32
ProfileFile::ProfileFile(const fs::path& path) : path_(path) {
    const std::string name = base::Printable(path.string());
    HANDLE file = OpenToRead(path);
    if (file == INVALID_HANDLE_VALUE) {
        const std::string error = LastErrorText();
        throw ProfileError(
            !Exists(path.string()) && Exists(CopyOf(path))
                ? "simulator profile " + name + " is missing, and " +
                      base::Printable(CopyOf(path)) +
                      " holds its last state (a save was cut short); rename that file to " + name +
                      " and run again"
                : "cannot open simulator profile " + name + " (" + error +
                      "); check the path (a new profile may be {})");
    }
    // LockFileEx is a stub on the 95 family; LockFile is the same lock there.
    OVERLAPPED whole{};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, kWholeFile,
                    kWholeFile, &whole) &&
        (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED ||
         !LockFile(file, 0, 0, kWholeFile, kWholeFile))) {
        CloseHandle(file);
        throw ProfileError("simulator profile " + name +
                           " is in use by another run; try again when it has ended");
    }
    held_ = reinterpret_cast<std::intptr_t>(file);
    std::vector<std::uint8_t> bytes;
    if (const auto error = ReadHeld(file, kMaxProfileBytes, kMaxProfileBytes, bytes)) {
        CloseHandle(file);
        throw ProfileError("cannot read simulator profile " + name + " (" + *error + ")");
    }
    text_.assign(bytes.begin(), bytes.end());
    // Found out now, before the card is reprogrammed, rather than at the save.
    if (const DWORD error = WriteWhole(CopyOf(path), "", true); error != 0) {
        CloseHandle(file);
        throw Unwritable(path, "cannot create a file beside it", error);
    }
    DeleteFileA(CopyOf(path).c_str());
}

ProfileFile::~ProfileFile() {
    if (held_ != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(held_));
    }
}

void ProfileFile::Save(const std::string& text) {
    const std::string copy = CopyOf(path_);
    if (const DWORD error = WriteWhole(copy, text, true); error != 0) {
        throw Unwritable(path_, "cannot write a file beside it", error);
    }
    // Neither family replaces a file that is open without sharing its deletion.
    CloseHandle(reinterpret_cast<HANDLE>(held_));
    held_ = -1;
    const std::string target = path_.string();
    const bool moved =
        NtMajorVersion() != 0
            ? MoveFileExA(copy.c_str(), target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE
            : DeleteFileA(target.c_str()) && MoveFileA(copy.c_str(), target.c_str());
    if (!moved) {
        const DWORD error = GetLastError();
        if (Exists(target)) {
            DeleteFileA(copy.c_str());
        }
        throw Unwritable(path_, "cannot replace the profile", error);
    }
}

bool NothingAt(const fs::path& path) {
    return !Exists(path.string()) && GetLastError() == ERROR_FILE_NOT_FOUND &&
           !Exists(CopyOf(path));
}

void WriteNewFile(const fs::path& path, std::string_view bytes, const std::string& cannot_create) {
    const DWORD error = WriteWhole(path.string(), bytes, false);
    if (error != 0) {
        throw ProfileError(
            cannot_create + " (" + base::WinErrorText(error) + "); " +
            (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS
                 ? "remove " + base::Printable(path.string()) + " or give the profile another name"
                 : "give --sim= a file in an existing, writable folder"));
    }
}

void RemoveFile(const fs::path& path) {
    DeleteFileA(path.string().c_str());
}

#else
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
        throw ProfileError("cannot open simulator profile " + name + " (" + LastErrorText() +
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

#endif

std::string FormatStarted(const StartedClocks& started) {
    char line[96];
    std::snprintf(line, sizeof line,
                  "core_pll=0x%08x memory_pll=0x%08x timings=0x%08x,0x%08x,0x%08x\n",
                  started.core_pll, started.memory_pll, started.timings[0], started.timings[1],
                  started.timings[2]);
    return line;
}

std::optional<StartedClocks> ParseStarted(const std::string& text) {
    StartedClocks started;
    if (std::sscanf(text.c_str(), "core_pll=0x%x memory_pll=0x%x timings=0x%x,0x%x,0x%x",
                    &started.core_pll, &started.memory_pll, &started.timings[0],
                    &started.timings[1], &started.timings[2]) != 5) {
        return std::nullopt;
    }
    return started;
}

namespace {

File AsFile(std::intptr_t held) {
#ifdef _WIN32
    return reinterpret_cast<HANDLE>(held);
#else
    return static_cast<int>(held);
#endif
}

PlatformError UnusableRecord(const fs::path& path, const std::string& error) {
    return PlatformError("cannot use " + base::Printable(path.string()) + " (" + error +
                         "); run ruvuvuri as root for the real card, or make the folder of a "
                         "simulator profile writable");
}

}  // namespace

RecordFile::RecordFile(const fs::path& path) : path_(path) {
    std::vector<std::uint8_t> bytes;
    std::optional<std::string> error;
#ifdef _WIN32
    CreateDirectoryA(path.parent_path().string().c_str(), nullptr);
    // Shared for writing as well: a start that applied its settings holds the
    // guard until the session ends, and a second start must still read it.
    HANDLE file = CreateFileA(path.string().c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw UnusableRecord(path, LastErrorText());
    }
    held_ = reinterpret_cast<std::intptr_t>(file);
#else
    ::mkdir(path.parent_path().c_str(), 0700);
    const int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        throw UnusableRecord(path, LastErrorText());
    }
    held_ = fd;
#endif
    if ((error = ReadHeld(AsFile(held_), 4096, 4096, bytes))) {
        Close(AsFile(held_));
        throw UnusableRecord(path, *error);
    }
    text_.assign(bytes.begin(), bytes.end());
}

RecordFile::~RecordFile() {
    Close(AsFile(held_));
}

void RecordFile::Write(const std::string& text) {
#ifdef _WIN32
    const HANDLE file = reinterpret_cast<HANDLE>(held_);
    DWORD wrote = 0;
    const bool written =
        SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 &&
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr) &&
        wrote == text.size() && SetEndOfFile(file) && FlushFileBuffers(file);
#else
    const int fd = static_cast<int>(held_);
    const bool written = ::ftruncate(fd, 0) == 0 && ::lseek(fd, 0, SEEK_SET) == 0 &&
                         WriteAll(fd, text.data(), text.size()) == 0 && ::fsync(fd) == 0;
#endif
    if (!written) {
        throw UnusableRecord(path_, LastErrorText());
    }
    text_ = text;
}

}  // namespace ruvuvuri::hw
