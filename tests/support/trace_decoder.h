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

// The card register writes a trace performs, decoded from the window protocol
// alone: CR38 mode words sent to the CRT controller, the address taken in
// address mode, and a high word sent to 0x3d2 in partial-data mode committing
// {high word, latched low word}.
std::vector<RegisterWrite> DecodeRegisterWrites(const std::vector<std::string>& lines);

// The addresses of those writes, in order.
std::vector<std::uint32_t> WrittenAddresses(const std::vector<std::string>& lines);

}  // namespace ruvuvuri::test
