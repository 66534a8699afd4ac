// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <string_view>

// Small text helpers shared by every front end. They follow the C locale
// whatever locale a toolkit has set, so input reads the same everywhere.
namespace ruvuvuri::base {

// Space, tab, line feed, vertical tab, form feed and carriage return.
inline constexpr std::string_view kBlanks = " \t\n\v\f\r";

bool IsBlank(char c);

std::string_view Trim(std::string_view text);

// A-Z turned into a-z; every other byte is kept.
std::string AsciiLower(std::string_view text);

}  // namespace ruvuvuri::base
