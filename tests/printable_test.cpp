// SPDX-License-Identifier: GPL-2.0-or-later
// Text quoted in messages (paths, typed commands) is shown, never obeyed by
// the terminal: every control character becomes a visible escape.
#include "base/printable.h"

#include <gtest/gtest.h>

#include <string>

namespace ruvuvuri::base {
namespace {

TEST(Printable, EscapesEveryControlCharacterAndKeepsTheRest) {
    struct Case {
        std::string text;
        std::string shown;
    } cases[] = {
        {"/home/ann/card.json", "/home/ann/card.json"},
        {"C:\\roms\\gf2.rom", "C:\\roms\\gf2.rom"},  // backslashes are kept
        {"carte graphique \xc3\xa9t\xc3\xa9.rom", "carte graphique \xc3\xa9t\xc3\xa9.rom"},
        {"\x1b[2J\x1b]0;owned\x07", "\\x1b[2J\\x1b]0;owned\\x07"},
        {"a\nb\rc\td", "a\\nb\\rc\\td"},
        {std::string("nul\0end", 7), "nul\\x00end"},
        {"del\x7f", "del\\x7f"},
        {"c1 raw \x9b"
         "31m",
         "c1 raw \\x9b31m"},  // CSI in an 8-bit terminal
        {"c1 utf8 \xc2\x9b"
         "31m",
         "c1 utf8 \\u009b31m"},              // CSI as UTF-8
        {"cut \xe2\x82", "cut \\xe2\\x82"},  // truncated sequence
        {"overlong \xc0\xaf", "overlong \\xc0\\xaf"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Printable(c.text), c.shown) << c.shown;
        EXPECT_EQ(Printable(Printable(c.text)), Printable(c.text)) << "escaping twice changes it";
    }
}

}  // namespace
}  // namespace ruvuvuri::base
