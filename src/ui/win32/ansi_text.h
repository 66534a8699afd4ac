// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

namespace ruvuvuri::ui::win32 {

// Text for the ANSI window functions: valid UTF-8 (the panel file's texts) is
// converted to the system's code page; other bytes (BIOS text) pass as they
// are, so each byte shows as a character.
std::string ToAnsi(const std::string& text);

}  // namespace ruvuvuri::ui::win32
