// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace ruvuvuri::base {

// `text` made safe to put in a message that reaches a terminal: control
// characters (C0, DEL and the C1 range, whether as raw bytes or encoded in
// UTF-8) and bytes that are not valid UTF-8 become visible escapes (\n, \t,
// \x1b, \u009b), so that a file name or a typed command cannot move the
// cursor, retitle the window or hide the rest of the line. Everything else,
// backslashes and non-ASCII letters included, is kept as it is, so the result
// of an escaped text is the text itself.
std::string Printable(std::string_view text);

}  // namespace ruvuvuri::base
