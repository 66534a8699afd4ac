// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace ruvuvuri::hw {

// One event of a trace, decoded back into what the program did: the card
// register reads and writes made through the register window, the interrupt
// bracket, the BIOS read, the CRT controller writes (the CR1F unlock), and the
// start of each run in the file.
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

// Reads a trace (format 1) and follows the window protocol: CR38 mode words
// written to the CRT controller, the register address taken in address mode,
// the high then low word returned in read mode, and the low word latched and
// the high word committing the write in write mode. The saves and restores of
// the window's own state make no event. Pure apart from reading `in`.
DecodedTrace DecodeWindowTrace(std::istream& in);

}  // namespace ruvuvuri::hw
