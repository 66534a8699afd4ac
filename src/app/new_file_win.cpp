// SPDX-License-Identifier: GPL-2.0-or-later
#include <windows.h>

#include "app/new_file.h"
#include "base/win_error_text.h"
#include "hw/backends/card_profile.h"

// Through the ANSI file functions, which the 95 family implements.
namespace ruvuvuri::app {

using hw::ProfileError;
namespace fs = std::filesystem;

bool NothingAt(const fs::path& path) {
    if (GetFileAttributesA(path.string().c_str()) != INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND;
}

// A temporary file in the same folder first, then moved under the final name;
// MoveFileA fails rather than replace anything there, so the name never shows
// a half-written file.
void WriteNewFile(const fs::path& path, std::string_view bytes, const std::string& cannot_create) {
    const std::string target = path.string();
    const std::string temp = target + ".new-" + std::to_string(GetCurrentProcessId());
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw ProfileError(cannot_create + " (" + base::WinErrorText(GetLastError()) +
                           "); give --sim= a file in an existing, writable folder");
    }
    bool written = true;
    for (std::size_t done = 0; written && done < bytes.size();) {
        DWORD wrote = 0;
        written = WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                            &wrote, nullptr) &&
                  wrote > 0;
        done += wrote;
    }
    written = written && FlushFileBuffers(file);
    const DWORD write_error = GetLastError();
    CloseHandle(file);
    const bool moved = written && MoveFileA(temp.c_str(), target.c_str());
    const DWORD move_error = GetLastError();
    DeleteFileA(temp.c_str());
    if (!written) {
        throw ProfileError(cannot_create + " (" + base::WinErrorText(write_error) +
                           "); free some space in its folder or choose another folder");
    }
    if (!moved) {
        throw ProfileError(cannot_create + " (" + base::WinErrorText(move_error) + "); " +
                           (move_error == ERROR_ALREADY_EXISTS || move_error == ERROR_FILE_EXISTS
                                ? "remove " + target + " or give the profile another name"
                                : "choose a folder on a local disk"));
    }
}

void RemoveFile(const fs::path& path) {
    DeleteFileA(path.string().c_str());
}

}  // namespace ruvuvuri::app
