// SPDX-License-Identifier: GPL-2.0-or-later
#include <cerrno>
#include <fstream>
#include <iterator>

#include "base/error_text.h"
#include "ui/panel_file.h"

// Through the C++ file streams; Windows has its own (panel_file_read_win.cpp).
namespace ruvuvuri::ui {

PanelFileBytes ReadPanelFileBytes(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return {PanelFileBytes::Folder, {}};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const int cause = errno;
        return {PanelFileBytes::CannotOpen,
                cause != 0 ? base::ErrorText(cause) : "cannot be opened"};
    }
    std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return {in.bad() ? PanelFileBytes::CannotRead : PanelFileBytes::Read, std::move(xml)};
}

}  // namespace ruvuvuri::ui
