// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace ruvuvuri::hw {

// One event of a trace, decoded back into what the program did.
struct WindowEvent {
    enum class Kind { RunStart, BiosRead, RegisterRead, RegisterWrite, IrqOff, IrqOn, CrtcWrite };
    Kind kind;
    std::uint32_t address = 0;  // card register, physical address or CRT index
    std::uint32_t value = 0;    // value read or written, or the byte count
};

struct DecodedTrace {
    std::vector<WindowEvent> events;
    // "line N: why" for each line that is not trace format 1.
    std::vector<std::string> problems;
};

// Follows the window protocol through a trace (format 1); the saves and
// restores of the window's own state make no event. Pure apart from reading `in`.
DecodedTrace DecodeWindowTrace(std::istream& in);

}  // namespace ruvuvuri::hw
