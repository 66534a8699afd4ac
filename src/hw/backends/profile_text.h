// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace ruvuvuri::hw {

// A number as the profile writes it and its messages show it: "0x" and at
// least `digits` lowercase hex digits.
inline std::string ProfileHex(std::uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llx", digits, static_cast<unsigned long long>(value));
    return text;
}

}  // namespace ruvuvuri::hw
