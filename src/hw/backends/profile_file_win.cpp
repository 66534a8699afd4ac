// SPDX-License-Identifier: GPL-2.0-or-later
// The profile's file work on Windows, through the ANSI file functions, which
// the 95 family implements (the wide ones that std::filesystem uses fail
// there). The open profile is held with a byte-range lock taken without
// waiting. A save writes "<profile>.new" completely, then moves it over the
// profile: in one step on the NT family; on the 95 family, which cannot
// replace a file, by deleting the profile first. Should a crash come between
// the two, the profile is missing and its copy holds the state: NothingAt()
// then says something is there, so no new profile is made over it, and the
// open says what to do.
#include <windows.h>

#include <algorithm>

#include "base/printable.h"
#include "base/win_error_text.h"
#include "hw/backends/profile.h"

namespace ruvuvuri::hw {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMaxProfileBytes = 64u << 20;
constexpr DWORD kWholeFile = 0xFFFFFFFF;

bool IsNtFamily() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

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

// Reads what `file` holds, within the limits of ReadRegularFile.
std::optional<std::string> ReadHandle(HANDLE file, std::uint64_t size_limit, std::size_t read_limit,
                                      std::vector<std::uint8_t>& bytes) {
    // A device or pipe (CON, NUL, COM1) is never waited on.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        return std::string("not a regular file");
    }
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        return base::WinErrorText(GetLastError());
    }
    const std::uint64_t size = (static_cast<std::uint64_t>(high) << 32) | low;
    if (size > size_limit) {
        return "it is " + std::to_string(size) + " bytes long, over the limit of " +
               std::to_string(size_limit);
    }
    bytes.assign(static_cast<std::size_t>(std::min<std::uint64_t>(size, read_limit)), 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got,
                      nullptr)) {
            return base::WinErrorText(GetLastError());
        }
        if (got == 0) {
            break;  // it shrank: what is there is what it holds
        }
        done += got;
    }
    bytes.resize(done);
    return std::nullopt;
}

// Shared in every way the 95 family accepts, so that a file another program
// has open is still read.
HANDLE OpenToRead(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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

}  // namespace

std::optional<std::string> ReadRegularFile(const fs::path& path, std::uint64_t size_limit,
                                           std::size_t read_limit,
                                           std::vector<std::uint8_t>& bytes) {
    HANDLE file = OpenToRead(path.string());
    if (file == INVALID_HANDLE_VALUE) {
        return base::WinErrorText(GetLastError());
    }
    auto error = ReadHandle(file, size_limit, read_limit, bytes);
    CloseHandle(file);
    return error;
}

ProfileFile::ProfileFile(const fs::path& path) : path_(path) {
    const std::string name = base::Printable(path.string());
    HANDLE file = OpenToRead(path.string());
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        throw ProfileError(
            !Exists(path.string()) && Exists(CopyOf(path))
                ? "simulator profile " + name + " is missing, and " +
                      base::Printable(CopyOf(path)) +
                      " holds its last state (a save was cut short); rename that file to " + name +
                      " and run again"
                : "cannot open simulator profile " + name + " (" + base::WinErrorText(error) +
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
    if (const auto error = ReadHandle(file, kMaxProfileBytes, kMaxProfileBytes, bytes)) {
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
        IsNtFamily() ? MoveFileExA(copy.c_str(), target.c_str(),
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

}  // namespace ruvuvuri::hw
