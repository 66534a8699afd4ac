// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "ui/ui_engine.h"

namespace ruvuvuri::ui {

// Who types the console engine's commands. A person at a terminal gets a
// prompt and the whole panel after each change; a script gets the panel once,
// then only the answers and the rows that changed. Detect asks whether `in` is
// the standard input and a terminal.
enum class ConsoleInput { Detect, Terminal, Script };

// A panel engine on plain text streams, for terminals, ssh sessions and
// scripts. The panel is printed as a list of labelled values; the user edits
// it with one command per line (see ConsoleCommandHelp). Popups go to `err`,
// and a confirmation reads its answer from `in`. RunUserInterface reads
// commands until a callback calls QuitUserInterface or the input ends; the end
// of the input presses the exit button first. Nothing is printed on a failure;
// last_error() keeps the reason.
std::unique_ptr<UiEngine> CreateConsoleEngine(CallbackTable callbacks, std::istream& in,
                                              std::ostream& out, std::ostream& err,
                                              ConsoleInput input = ConsoleInput::Detect);

// The command list, as `help` prints it (also for the program's --help).
std::string ConsoleCommandHelp();

}  // namespace ruvuvuri::ui
