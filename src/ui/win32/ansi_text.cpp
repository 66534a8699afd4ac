// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/win32/ansi_text.h"

#include <algorithm>

namespace ruvuvuri::ui::win32 {

std::wstring Widen(const std::string& text, DWORD flags) {
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, flags, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, flags, text.data(), size, wide.data(), length);
    return wide;
}

std::string ToAnsi(const std::string& text) {
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::wstring wide = ascii ? std::wstring() : Widen(text, MB_ERR_INVALID_CHARS);
    if (wide.empty()) {
        return text;
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(std::max(length, 0)), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, ansi.data(), length, nullptr, nullptr);
    return length > 0 ? ansi : text;
}

}  // namespace ruvuvuri::ui::win32
