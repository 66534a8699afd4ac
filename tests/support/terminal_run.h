// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <vector>

#include "support/run_program.h"

namespace ruvuvuri::test {

// What the test does once the program asks on its terminal.
struct TerminalScript {
    std::string answer;  // typed on the terminal (with its newline) when non-empty
    int signal = 0;      // sent to the program instead, when non-zero
};

struct TerminalRun {
    ProgramResult result;
    std::string terminal;  // everything the program wrote to its terminal
    bool asked = false;    // the question appeared
};

// Runs the built program in a session of its own whose controlling terminal
// is a fresh pseudo-terminal, with `input` on a pipe as stdin. When
// "Reverting in" shows on the terminal the script acts; otherwise the program
// runs to its end.
TerminalRun RunRuvuvuriOnTerminal(const std::vector<std::string>& args, const std::string& input,
                                  const TerminalScript& script);

}  // namespace ruvuvuri::test
