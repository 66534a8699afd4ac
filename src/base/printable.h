// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace ruvuvuri::base {

// Control characters (C0, DEL and C1, raw or in UTF-8) and bytes that are not
// valid UTF-8 become visible escapes (\n, \x1b, \u009b), so that a file name or
// a typed command cannot move the cursor, retitle the window or hide the rest
// of the line. All else, backslashes included, is kept, so an escaped text
// comes back as it is.
std::string Printable(std::string_view text);

}  // namespace ruvuvuri::base
