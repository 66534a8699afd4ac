// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/console_commands.h"

#include <sstream>

#include "base/number_text.h"
#include "base/text.h"
#include "ui/console_engine.h"
#include "ui/console_render.h"
#include "ui/console_spin_box.h"

namespace ruvuvuri::ui {
namespace {

struct CommandWord {
    const char* word;
    ConsoleCommandKind kind;
    int control = 0;                 // the field an Edit command edits
    const char* callback = nullptr;  // the button the command presses
};
constexpr CommandWord kCommands[] = {
    {"core", ConsoleCommandKind::Edit, PANEL_CORECLK},
    {"mem", ConsoleCommandKind::Edit, PANEL_MEMCLK},
    {"t0", ConsoleCommandKind::Edit, PANEL_TIMING0},
    {"t1", ConsoleCommandKind::Edit, PANEL_TIMING1},
    {"t2", ConsoleCommandKind::Edit, PANEL_TIMING2},
    {"apply", ConsoleCommandKind::Apply, 0, kApplyCallback},
    {"preview", ConsoleCommandKind::Preview, 0, kPreviewCallback},
    {"exit", ConsoleCommandKind::Exit, 0, kExitCallback},
    {"quit", ConsoleCommandKind::Exit},
    {"show", ConsoleCommandKind::Show},
    {"help", ConsoleCommandKind::Help},
};

constexpr const char* kHelp =
    "Commands (one per line, upper or lower case):\n"
    "  core MHZ    set the core clock field, e.g. core 200.5\n"
    "  mem MHZ     set the memory clock field\n"
    "  t0 HEX      set timing 0, hexadecimal with or without 0x, e.g. t0 0x22322222\n"
    "  t1 HEX      set timing 1\n"
    "  t2 HEX      set timing 2\n"
    "  apply       press Apply: write the fields to the card; the next line answers\n"
    "              the confirmation (y or yes confirms, anything else refuses)\n"
    "  preview     press Preview: print the registers apply would write, with the\n"
    "              values read and to be written; writes nothing\n"
    "  exit, quit  press Exit; the end of the input does the same\n"
    "  show        print the panel again\n"
    "  help        print this list\n";

}  // namespace

ConsoleCommand ParseConsoleCommand(const std::string& line) {
    ConsoleCommand command;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        command.words.push_back(word);
    }
    if (command.words.empty()) {
        return command;
    }
    command.name = base::AsciiLower(command.words[0]);
    command.kind = ConsoleCommandKind::Unknown;
    for (const CommandWord& known : kCommands) {
        if (command.name == known.word) {
            command.kind = known.kind;
            command.control = known.control;
        }
    }
    return command;
}

const char* EditWordFor(int control) {
    for (const CommandWord& known : kCommands) {
        if (known.kind == ConsoleCommandKind::Edit && known.control == control) {
            return known.word;
        }
    }
    return nullptr;
}

const char* CommandFor(const PanelFileButton& button) {
    for (const CommandWord& known : kCommands) {
        if (known.callback != nullptr && button.callback == known.callback) {
            return known.word;
        }
    }
    return nullptr;
}

std::string ConsoleCommandHelp() {
    return kHelp;
}

std::string EditField(const ConsoleCommand& command, const PanelFileControl& control,
                      ConsoleControlValue& value) {
    const bool clock = FindPanelControl(control.id)->kind == ControlKind::Double;
    const std::string usage = command.name + (clock ? " MHZ, " : " HEX, ") + RangeOf(control);
    if (command.words.size() != 2) {
        return command.name + " takes one value (" + usage + ")";
    }
    const std::string& text = command.words[1];
    if (control.read_only) {
        return LabelOf(control) + " is read-only in the panel file; nothing changed";
    }
    if (clock) {
        const base::NumberScan<double> wanted = base::ParseDouble(text);
        if (!wanted.ok()) {
            return "'" + text + "' is not a number (" + usage + "); nothing changed";
        }
        const double rounded = RoundTo(wanted.value, control.decimals);
        if (!(rounded >= control.minimum && rounded <= control.maximum)) {
            return LabelOf(control) + " " + text + " is outside the limits " + LimitsOf(control) +
                   "; nothing changed";
        }
        value.number = rounded;
        return {};
    }
    const base::NumberScan<std::uint32_t> wanted = base::ParseHex32(text);
    switch (wanted.status) {
        case base::NumberStatus::Ok:
            value.integer = wanted.value;
            return {};
        case base::NumberStatus::NotANumber:
            return "'" + text + "' is not a hexadecimal number (" + usage + "); nothing changed";
        case base::NumberStatus::OutOfRange:
            break;
    }
    return "'" + text + "' does not fit in 32 bits (" + usage + "); nothing changed";
}

}  // namespace ruvuvuri::ui
