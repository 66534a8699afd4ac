// SPDX-License-Identifier: GPL-2.0-or-later
#include <windows.h>

#include <algorithm>

#include "base/win_error_text.h"
#include "hw/backends/bounded_file.h"

// Through the ANSI file functions, which the 95 family implements (the wide
// ones that std::filesystem and the file streams use there fail).
namespace ruvuvuri::hw {

std::optional<std::string> ReadRegularFile(const std::filesystem::path& path,
                                           std::uint64_t size_limit, std::size_t read_limit,
                                           std::vector<std::uint8_t>& bytes) {
    const std::string name = path.string();
    const DWORD attributes = GetFileAttributesA(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return base::WinErrorText(GetLastError());
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::string("not a regular file");
    }
    // Shared in every way the 95 family accepts, so that a file another
    // program has open is still read.
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return base::WinErrorText(GetLastError());
    }
    // A device or pipe (CON, NUL, COM1) is never waited on.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return std::string("not a regular file");
    }
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        return base::WinErrorText(error);
    }
    const std::uint64_t size = (static_cast<std::uint64_t>(high) << 32) | low;
    if (size > size_limit) {
        CloseHandle(file);
        return "it is " + std::to_string(size) + " bytes long, over the limit of " +
               std::to_string(size_limit);
    }
    bytes.assign(static_cast<std::size_t>(std::min<std::uint64_t>(size, read_limit)), 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        if (!ReadFile(file, bytes.data() + done, want, &got, nullptr)) {
            const DWORD error = GetLastError();
            CloseHandle(file);
            return base::WinErrorText(error);
        }
        if (got == 0) {
            break;  // it shrank: what is there is what it holds
        }
        done += got;
    }
    bytes.resize(done);
    CloseHandle(file);
    return std::nullopt;
}

}  // namespace ruvuvuri::hw
