// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <vector>

#include "ui/console_panel.h"

// The console engine's command language: one command per line, words apart,
// the command word in any case.
namespace ruvuvuri::ui {

enum class ConsoleCommandKind { Empty, Unknown, Help, Edit, Apply, Preview, Exit, Show };

struct ConsoleCommand {
    ConsoleCommandKind kind = ConsoleCommandKind::Empty;
    std::string name;                // the command word in lower case
    std::vector<std::string> words;  // the line's words as typed, the command first
    int control = 0;                 // the field an Edit command edits
};

ConsoleCommand ParseConsoleCommand(const std::string& line);

// The word that edits `control` ("core", "t0", ...), or nullptr.
const char* EditWordFor(int control);

// The command that presses `button` ("apply", "preview" or "exit"), or nullptr.
const char* CommandFor(const PanelFileButton& button);

// Runs an edit command (`core 200.5`, `t0 0x22322222`) on `control`: a clock
// must be a number within the field's limits at its decimals, a timing a
// hexadecimal number of at most 32 bits. Returns why the value was refused,
// with `value` left as it was, or an empty text when `value` now holds it.
std::string EditField(const ConsoleCommand& command, const PanelFileControl& control,
                      ConsoleControlValue& value);

}  // namespace ruvuvuri::ui
