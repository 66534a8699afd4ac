// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/win_error_text.h"

#include <windows.h>

#include <cstdio>

namespace ruvuvuri::base {

std::string WinErrorText(unsigned long error) {
    char text[256] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, text, sizeof text, nullptr);
    // The system's texts end in a full stop and a line break.
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                          text[length - 1] == '.' || text[length - 1] == ' ')) {
        --length;
    }
    char number[32];
    std::snprintf(number, sizeof number, "error %lu", error);
    return length == 0 ? std::string(number) : std::string(text, length) + " (" + number + ")";
}

}  // namespace ruvuvuri::base
