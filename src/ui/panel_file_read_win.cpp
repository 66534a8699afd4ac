// SPDX-License-Identifier: GPL-2.0-or-later
#include <windows.h>

#include <cerrno>

#include "base/error_text.h"
#include "base/win_error_text.h"
#include "ui/panel_file.h"

// Through the ANSI file functions, which the 95 family implements (the wide
// ones that std::filesystem and file streams use there fail).
namespace ruvuvuri::ui {
namespace {

constexpr DWORD kMaxPanelFileSize = 4 * 1024 * 1024;

// The C runtime's words for the common causes, as on every other platform.
std::string OpenFailureText(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return base::ErrorText(ENOENT);
        case ERROR_ACCESS_DENIED:
            return base::ErrorText(EACCES);
        default:
            return base::WinErrorText(error);
    }
}

}  // namespace

PanelFileBytes ReadPanelFileBytes(const std::filesystem::path& path) {
    const std::string file_name = path.string();
    const DWORD attributes = GetFileAttributesA(file_name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {PanelFileBytes::Folder, {}};
    }
    HANDLE file = CreateFileA(file_name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {PanelFileBytes::CannotOpen, OpenFailureText(GetLastError())};
    }
    std::string xml;
    char chunk[16384];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr) != FALSE) && got > 0 &&
           xml.size() < kMaxPanelFileSize) {
        xml.append(chunk, got);
    }
    CloseHandle(file);
    const bool read = ok && xml.size() < kMaxPanelFileSize;
    return {read ? PanelFileBytes::Read : PanelFileBytes::CannotRead, std::move(xml)};
}

}  // namespace ruvuvuri::ui
