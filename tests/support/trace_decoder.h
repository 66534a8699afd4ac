// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ruvuvuri::test {

struct RegisterWrite {
    std::uint32_t address;
    std::uint32_t value;
    bool operator==(const RegisterWrite&) const = default;
};

// The card register writes a trace performs, as hw::DecodeWindowTrace follows
// the window protocol.
std::vector<RegisterWrite> DecodeRegisterWrites(const std::vector<std::string>& lines);

// The addresses of those writes, in order.
std::vector<std::uint32_t> WrittenAddresses(const std::vector<std::string>& lines);

}  // namespace ruvuvuri::test
