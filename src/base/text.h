// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <string_view>

// The C locale's rules whatever locale a toolkit has set, so input reads the
// same everywhere.
namespace ruvuvuri::base {

inline constexpr std::string_view kBlanks = " \t\n\v\f\r";

bool IsBlank(char c);

std::string_view Trim(std::string_view text);

std::string AsciiLower(std::string_view text);

}  // namespace ruvuvuri::base
