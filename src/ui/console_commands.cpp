// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/console_commands.h"

#include <sstream>

#include "base/text.h"
#include "ui/console_engine.h"

namespace ruvuvuri::ui {
namespace {

// The commands that edit a field, and the field each one edits.
struct EditCommand {
    const char* word;
    int control;
};
constexpr EditCommand kEditCommands[] = {
    {"core", PANEL_CORECLK}, {"mem", PANEL_MEMCLK}, {"t0", PANEL_TIMING0},
    {"t1", PANEL_TIMING1},   {"t2", PANEL_TIMING2},
};

struct PlainCommand {
    const char* word;
    ConsoleCommandKind kind;
};
constexpr PlainCommand kPlainCommands[] = {
    {"help", ConsoleCommandKind::Help},       {"apply", ConsoleCommandKind::Apply},
    {"preview", ConsoleCommandKind::Preview}, {"exit", ConsoleCommandKind::Exit},
    {"quit", ConsoleCommandKind::Exit},       {"show", ConsoleCommandKind::Show},
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

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

}  // namespace

ConsoleCommand ParseConsoleCommand(const std::string& line) {
    ConsoleCommand command;
    command.words = SplitWords(line);
    if (command.words.empty()) {
        return command;
    }
    command.name = base::AsciiLower(command.words[0]);
    command.kind = ConsoleCommandKind::Unknown;
    for (const EditCommand& edit : kEditCommands) {
        if (command.name == edit.word) {
            command.kind = ConsoleCommandKind::Edit;
            command.control = edit.control;
        }
    }
    for (const PlainCommand& plain : kPlainCommands) {
        if (command.name == plain.word) {
            command.kind = plain.kind;
        }
    }
    return command;
}

const char* EditWordFor(int control) {
    for (const EditCommand& edit : kEditCommands) {
        if (edit.control == control) {
            return edit.word;
        }
    }
    return nullptr;
}

const char* CommandFor(const PanelFileButton& button) {
    if (button.callback == kApplyCallback) {
        return "apply";
    }
    if (button.callback == kExitCallback) {
        return "exit";
    }
    if (button.callback == kPreviewCallback) {
        return "preview";
    }
    return nullptr;
}

std::string ConsoleCommandHelp() {
    return kHelp;
}

}  // namespace ruvuvuri::ui
