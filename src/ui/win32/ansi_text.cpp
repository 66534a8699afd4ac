// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/win32/ansi_text.h"

#include <windows.h>

#include <vector>

namespace ruvuvuri::ui::win32 {

std::string ToAnsi(const std::string& text) {
    bool ascii = true;
    for (const char c : text) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (ascii || text.empty()) {
        return text;
    }
    const int size = static_cast<int>(text.size());
    const int wide_length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (wide_length <= 0) {
        return text;
    }
    std::vector<wchar_t> wide(static_cast<std::size_t>(wide_length));
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), wide_length);
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return text;
    }
    std::string ansi(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_length, ansi.data(), length, nullptr, nullptr);
    return ansi;
}

}  // namespace ruvuvuri::ui::win32
