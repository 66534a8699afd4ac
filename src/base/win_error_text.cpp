// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/win_error_text.h"

#include <windows.h>

namespace ruvuvuri::base {

std::string WinErrorText(unsigned long error) {
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, text, sizeof text, nullptr);
    std::string message(text, length);
    // The system's texts end in a full stop and a line break.
    message.erase(message.find_last_not_of("\r\n. ") + 1);
    const std::string number = "error " + std::to_string(error);
    return message.empty() ? number : message + " (" + number + ")";
}

}  // namespace ruvuvuri::base
