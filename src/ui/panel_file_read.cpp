// SPDX-License-Identifier: GPL-2.0-or-later
#include <cerrno>
#include <fstream>
#include <iterator>

#include "base/error_text.h"
#include "base/printable.h"
#include "ui/panel_file.h"

// Through the C++ file streams; Windows has its own (panel_file_read_win.cpp).
namespace ruvuvuri::ui {
namespace {

constexpr const char* kRemedy = "restore the panel file that came with the program";

}  // namespace

PanelFile ReadPanelFile(const std::filesystem::path& path) {
    const std::string name = base::Printable(path.string());
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw PanelFileError("panel file " + name + " is a folder; " + kRemedy);
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const int cause = errno;
        const std::string why = cause != 0 ? base::ErrorText(cause) : "cannot be opened";
        throw PanelFileError("cannot open the panel file " + name + " (" + why +
                             "); keep Ruvuvuri.ui next to the program or reinstall it");
    }
    const std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        throw PanelFileError("cannot read the panel file " + name + "; " + kRemedy);
    }
    return ParsePanelFile(xml, name);
}

}  // namespace ruvuvuri::ui
