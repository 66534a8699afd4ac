// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdio>
#include <string>

#include "clock/clock_engine.h"

namespace ruvuvuri::app {

// A change plan as a table, one line per register in the order of the writes:
// name, address, value read, value to write, and for each PLL its M, N and P
// with the clock they produce next to the clock asked for. Every line ends
// with a newline; an empty plan is one line saying nothing would be written.
std::string FormatPlan(const clock::ChangePlan& plan);

// The name of a card register the program knows ("Core PLL", "Timing 1"), or
// an empty text.
std::string RegisterName(std::uint32_t address);

// printf into a text of at most 199 characters, for the lines of a plan or an
// explained trace.
std::string Format(const char* format, auto... values) {
    char line[200];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

}  // namespace ruvuvuri::app
