// SPDX-License-Identifier: GPL-2.0-or-later
#include <windows.h>

#include "base/win_error_text.h"
#include "hw/backends/bounded_file.h"
#include "hw/backends/card_profile.h"
#include "hw/backends/profile_file.h"

// The profile's lock and crash-safe save on Windows. The open profile is locked
// with Windows' own byte-range lock, which also keeps every other run from
// reading it. Saving writes the new state to "<profile>.new" first; the NT
// family then moves it over the profile in one step, the 95 family (which
// cannot replace a file that is open) rewrites the locked profile in place and
// deletes the copy afterwards. A crash at any point leaves either the old
// profile or a complete copy of the new state, which the next run picks up.
namespace ruvuvuri::hw {
namespace {

namespace fs = std::filesystem;

constexpr DWORD kWholeFile = 0xFFFFFFFF;

bool IsNtFamily() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// The 95 family refuses FILE_SHARE_DELETE as an invalid parameter.
HANDLE OpenShared(const std::string& path, DWORD access, DWORD creation) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | (IsNtFamily() ? FILE_SHARE_DELETE : 0);
    return CreateFileA(path.c_str(), access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// LockFileEx is a stub on the 95 family; LockFile is the same exclusive,
// non-waiting lock there.
bool TryLock(HANDLE file) {
    OVERLAPPED whole{};
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, kWholeFile,
                   kWholeFile, &whole)) {
        return true;
    }
    if (GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
        return LockFile(file, 0, 0, kWholeFile, kWholeFile) != FALSE;
    }
    return false;
}

bool WriteAll(HANDLE file, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD wrote = 0;
        if (!WriteFile(file, text.data() + done, static_cast<DWORD>(text.size() - done), &wrote,
                       nullptr) ||
            wrote == 0) {
            return false;
        }
        done += wrote;
    }
    return true;
}

std::string Unwritable(const fs::path& path, const std::string& what, DWORD error) {
    return UnwritableMessage(path, what, base::WinErrorText(error));
}

std::string CopyPath(const fs::path& path) {
    return path.string() + ".new";
}

// Writes the complete new state to "<profile>.new" and flushes it to the disk.
void WriteCopy(const fs::path& profile, const std::string& text) {
    const std::string copy = CopyPath(profile);
    HANDLE file = OpenShared(copy, GENERIC_WRITE, CREATE_ALWAYS);
    if (file == INVALID_HANDLE_VALUE) {
        throw ProfileError(Unwritable(profile, "cannot create a file", GetLastError()));
    }
    const bool written = WriteAll(file, text) && FlushFileBuffers(file);
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!written) {
        DeleteFileA(copy.c_str());
        throw ProfileError(Unwritable(profile, "cannot write a file", error));
    }
}

// A run that saved meanwhile moved a new file over the path: the lock has to
// be on the file the path names now. The 95 family never replaces the file.
bool StillNamedBy(HANDLE file, const std::string& path) {
    if (!IsNtFamily()) {
        return true;
    }
    HANDLE named = OpenShared(path, 0, OPEN_EXISTING);
    if (named == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION held{};
    BY_HANDLE_FILE_INFORMATION now{};
    const bool same =
        GetFileInformationByHandle(file, &held) && GetFileInformationByHandle(named, &now) &&
        held.dwVolumeSerialNumber == now.dwVolumeSerialNumber &&
        held.nFileIndexHigh == now.nFileIndexHigh && held.nFileIndexLow == now.nFileIndexLow;
    CloseHandle(named);
    return same;
}

HANDLE AsHandle(int held) {
    return LongToHandle(held);
}

// Through the locked handle: the lock keeps every other handle out.
std::optional<std::string> ReadAll(HANDLE file, std::vector<std::uint8_t>& bytes) {
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR) {
        return base::WinErrorText(GetLastError());
    }
    std::uint8_t chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
            return base::WinErrorText(GetLastError());
        }
        if (got == 0) {
            return std::nullopt;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() > kMaxProfileBytes) {
            return "it is over the limit of " + std::to_string(kMaxProfileBytes) + " bytes";
        }
    }
}

}  // namespace

const char* const kLocalVolume = "a local disk";

fs::path FileToSave(const fs::path& given) {
    return given;
}

std::uint32_t LockClockMs() {
    return GetTickCount();
}

LockAttempt TryLockProfile(const fs::path& path) {
    LockAttempt attempt;
    for (;;) {
        HANDLE file = OpenShared(path.string(), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
        if (file == INVALID_HANDLE_VALUE) {
            attempt.open_error = base::WinErrorText(GetLastError());
            return attempt;
        }
        if (TryLock(file)) {
            if (StillNamedBy(file, path.string())) {
                attempt.held = HandleToLong(file);
                return attempt;
            }
            CloseHandle(file);
            continue;
        }
        const DWORD error = GetLastError();
        CloseHandle(file);
        if (error != ERROR_LOCK_VIOLATION && error != ERROR_SHARING_VIOLATION &&
            error != ERROR_IO_PENDING) {
            attempt.lock_error = base::WinErrorText(error);
        }
        return attempt;
    }
}

void CloseHeld(int held) {
    CloseHandle(AsHandle(held));
}

CardState LoadHeldProfile(int held, const fs::path& path) {
    std::vector<std::uint8_t> bytes;
    const auto error = ReadAll(AsHandle(held), bytes);
    CardState loaded;
    bool recovered = false;
    try {
        loaded = ParseProfileFile(error, bytes, path);
    } catch (const ProfileError&) {
        // A save that a crash cut short on the 95 family leaves the profile
        // half rewritten and the complete new state in the copy.
        if (error || ReadRegularFile(CopyPath(path), kMaxProfileBytes, kMaxProfileBytes, bytes)) {
            throw;
        }
        loaded = ParseProfileFile(std::nullopt, bytes, path);
        recovered = true;
    }
    // A recovered copy stays until the next save.
    WriteCopy(path, FormatProfile(loaded));
    if (!recovered) {
        DeleteFileA(CopyPath(path).c_str());
    }
    return loaded;
}

void ProfileSession::Save(const CardState& state) const {
    const std::string text = FormatProfile(state);
    const std::string copy = CopyPath(path_);
    WriteCopy(path_, text);
    if (IsNtFamily()) {
        // The new file is opened and locked before it takes the profile's name,
        // so the run keeps the profile to itself until the session ends.
        HANDLE fresh = OpenShared(copy, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
        if (fresh != INVALID_HANDLE_VALUE && TryLock(fresh)) {
            if (MoveFileExA(copy.c_str(), path_.string().c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
                CloseHandle(AsHandle(lock_fd_));
                lock_fd_ = HandleToLong(fresh);
                return;
            }
        }
        if (fresh != INVALID_HANDLE_VALUE) {
            CloseHandle(fresh);
        }
    }
    // In place, through the locked handle; the copy stays until this is done.
    HANDLE held = AsHandle(lock_fd_);
    const bool written = SetFilePointer(held, 0, nullptr, FILE_BEGIN) == 0 &&
                         WriteAll(held, text) && SetEndOfFile(held) && FlushFileBuffers(held);
    if (!written) {
        throw ProfileError(Unwritable(path_, "cannot replace the profile", GetLastError()));
    }
    DeleteFileA(copy.c_str());
}

}  // namespace ruvuvuri::hw
