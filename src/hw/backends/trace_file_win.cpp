// SPDX-License-Identifier: GPL-2.0-or-later
#include <windows.h>

#include "base/win_error_text.h"
#include "hw/backends/trace.h"

// The trace file on Windows, through the ANSI file functions, which the 95
// family implements. Windows raises no signal for a write to a closed pipe:
// a failed write is simply kept as the first error.
namespace ruvuvuri::hw {

std::intptr_t TraceFile::Open(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw CannotWrite(path, " (" + base::WinErrorText(GetLastError()) +
                                    "); give --trace a path in a writable folder");
    }
    return reinterpret_cast<std::intptr_t>(file);
}

unsigned long TraceFile::Write(std::intptr_t file, const char* data, std::size_t size) {
    const auto handle = reinterpret_cast<HANDLE>(file);
    while (size > 0) {
        // Appended at the end, as O_APPEND does, whoever else writes there.
        SetFilePointer(handle, 0, nullptr, FILE_END);
        DWORD wrote = 0;
        if (!WriteFile(handle, data, static_cast<DWORD>(size), &wrote, nullptr) || wrote == 0) {
            return GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
        }
        data += wrote;
        size -= wrote;
    }
    return 0;
}

void TraceFile::Close(std::intptr_t file) {
    CloseHandle(reinterpret_cast<HANDLE>(file));
}

std::string TraceFile::ErrorText(unsigned long error) {
    return base::WinErrorText(error);
}

}  // namespace ruvuvuri::hw
