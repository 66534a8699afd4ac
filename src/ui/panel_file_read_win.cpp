// SPDX-License-Identifier: GPL-2.0-or-later
#include <windows.h>

#include <cerrno>

#include "base/error_text.h"
#include "base/printable.h"
#include "base/win_error_text.h"
#include "ui/panel_file.h"

// Through the ANSI file functions, which the 95 family implements (the wide
// ones that std::filesystem and file streams use there fail).
namespace ruvuvuri::ui {
namespace {

constexpr const char* kRemedy = "restore the panel file that came with the program";
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

PanelFile ReadPanelFile(const std::filesystem::path& path) {
    const std::string name = base::Printable(path.string());
    const std::string file_name = path.string();
    const DWORD attributes = GetFileAttributesA(file_name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw PanelFileError("panel file " + name + " is a folder; " + kRemedy);
    }
    HANDLE file = CreateFileA(file_name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw PanelFileError("cannot open the panel file " + name + " (" +
                             OpenFailureText(GetLastError()) +
                             "); keep Ruvuvuri.ui next to the program or reinstall it");
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
    if (!ok || xml.size() >= kMaxPanelFileSize) {
        throw PanelFileError("cannot read the panel file " + name + "; " + kRemedy);
    }
    return ParsePanelFile(xml, name);
}

}  // namespace ruvuvuri::ui
