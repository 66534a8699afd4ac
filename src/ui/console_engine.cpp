// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/console_engine.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string_view>
#include <vector>

#include "base/number_text.h"
#include "base/printable.h"
#include "base/text.h"
#include "ui/field_text.h"
#include "ui/panel_file.h"

namespace ruvuvuri::ui {
namespace {

// The command language: one command per line, words apart, the command word
// in any case. Each word edits a field or presses a button; show and help do
// neither.
struct CommandWord {
    const char* word;
    int control = 0;
    const char* callback = nullptr;
};
constexpr CommandWord kCommands[] = {
    {"core", PANEL_CORECLK},
    {"mem", PANEL_MEMCLK},
    {"t0", PANEL_TIMING0},
    {"t1", PANEL_TIMING1},
    {"t2", PANEL_TIMING2},
    {"apply", 0, kApplyCallback},
    {"preview", 0, kPreviewCallback},
    {"restore", 0, kRestoreCallback},
    {"exit", 0, kExitCallback},
    {"quit", 0, kExitCallback},
    {"show"},
    {"help"},
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
    "  restore     press Restore: write back the clocks the card started with, after\n"
    "              the same question as apply\n"
    "  exit, quit  press Exit; the end of the input does the same\n"
    "  show        print the panel again\n"
    "  help        print this list\n";

// "80.000 to 400.000 MHz": the limits as the field shows them.
std::string LimitsOf(const PanelFileControl& control) {
    return FormatClock(control.minimum, control.decimals) + " to " +
           FormatClock(control.maximum, control.decimals) + control.suffix;
}

std::string LabelOf(const PanelFileControl& control) {
    return control.label.empty() ? control.name : control.label;
}

// What the user may type: a clock's limits, a timing's 32-bit range.
std::string RangeOf(const PanelFileControl& control) {
    return control.kind == ControlKind::Double ? LimitsOf(control) : "0x00000000 to 0xFFFFFFFF";
}

std::string Padded(std::string text, std::size_t width) {
    text.resize(std::max(text.size(), width), ' ');
    return text;
}

// One line per control, parallel to file.controls: label and value, and
// beside an editable field the command that edits it and its range. Empty for
// the banner and for a status line that holds nothing.
std::vector<std::string> RenderRows(const PanelFile& file) {
    std::size_t width = 0;
    for (const PanelFileControl& control : file.controls) {
        if (control.id != PANEL_BANNER && control.id != PANEL_STATUS) {
            width = std::max(width, LabelOf(control).size());
        }
    }
    std::vector<std::string> rows;
    for (const PanelFileControl& control : file.controls) {
        if (control.id == PANEL_BANNER || control.id == PANEL_STATUS) {
            rows.push_back(control.id == PANEL_BANNER || control.text.empty()
                               ? std::string()
                               : "  " + control.text);
            continue;
        }
        const std::string shown =
            ShownText(control) + (control.kind == ControlKind::Double ? control.suffix : "");
        std::string row = "  " + Padded(LabelOf(control), width) + "  ";
        const auto edits =
            std::find_if(std::begin(kCommands), std::end(kCommands),
                         [&](const CommandWord& c) { return c.control == control.id; });
        if (edits == std::end(kCommands) || control.read_only) {
            row += shown;
        } else {
            row += Padded(shown, 14) + "  (" + edits->word + ", " + RangeOf(control) + ")";
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// The title, the banner, every row, then the buttons with the commands that
// press them.
void RenderPanel(std::ostream& out, const PanelFile& file) {
    if (!file.title.empty()) {
        out << "== " << file.title << " ==\n";
    }
    if (const PanelFileControl* banner = file.FindControl(PANEL_BANNER); !banner->text.empty()) {
        out << banner->text << '\n';
    }
    for (const std::string& row : RenderRows(file)) {
        if (!row.empty()) {
            out << row << '\n';
        }
    }
    const char* gap = "  ";
    for (const PanelFileButton& button : file.buttons) {
        out << gap << '[' << button.text << ']';
        gap = "   ";
        for (const CommandWord& command : kCommands) {
            if (command.callback != nullptr && button.callback == command.callback) {
                out << ' ' << command.word;
                break;
            }
        }
    }
    out << "   (help lists the commands)\n" << std::flush;
}

// Runs an edit command (`core 200.5`, `t0 0x22322222`) on `control`: a clock
// must be a number within the field's limits at its decimals, a timing a
// hexadecimal number of at most 32 bits. Returns why the value was refused,
// with the field left as it was, or an empty text when the field now holds it.
std::string EditField(const std::string& name, const std::vector<std::string>& words,
                      PanelFileControl& control) {
    const bool clock = control.kind == ControlKind::Double;
    const std::string usage = name + (clock ? " MHZ, " : " HEX, ") + RangeOf(control);
    if (words.size() != 2) {
        return name + " takes one value (" + usage + ")";
    }
    const std::string& text = words[1];
    if (control.read_only) {
        return LabelOf(control) + " is read-only in the panel file; nothing changed";
    }
    if (clock) {
        const base::NumberScan<double> wanted = base::ParseDouble(text);
        if (!wanted.ok()) {
            return "'" + text + "' is not a number (" + usage + "); nothing changed";
        }
        const double rounded = RoundClock(wanted.value, control.decimals);
        if (!(rounded >= control.minimum && rounded <= control.maximum)) {
            return LabelOf(control) + " " + text + " is outside the limits " + LimitsOf(control) +
                   "; nothing changed";
        }
        control.value = rounded;
        return {};
    }
    const base::NumberScan<std::uint32_t> wanted = base::ParseHex32(text);
    switch (wanted.status) {
        case base::NumberStatus::Ok:
            control.integer = wanted.value;
            return {};
        case base::NumberStatus::NotANumber:
            return "'" + text + "' is not a hexadecimal number (" + usage + "); nothing changed";
        case base::NumberStatus::OutOfRange:
            break;
    }
    return "'" + text + "' does not fit in 32 bits (" + usage + "); nothing changed";
}

class ConsoleEngine final : public PanelFileEngine {
  public:
    ConsoleEngine(CallbackTable callbacks, std::istream& in, std::ostream& out, std::ostream& err,
                  ConsoleInput input)
        : PanelFileEngine(std::move(callbacks)),
          in_(in),
          out_(out),
          err_(err),
          terminal_(
              input == ConsoleInput::Terminal ||
              (input == ConsoleInput::Detect && &in == &std::cin && isatty(STDIN_FILENO) == 1)) {}

    int LoadPanel(int parent, const std::string& file, int panel_id) override {
        return ReadPanel(parent, file, panel_id) ? PANEL : -1;
    }

    void DisplayPanel(int panel) override {
        if (Loaded(panel)) {
            RenderPanel(out_, *panel_);
        }
    }

    int RunUserInterface() override {
        quit_ = false;
        quit_code_ = 0;
        std::string line;
        while (!quit_) {
            if (terminal_) {
                out_ << "ruvuvuri> " << std::flush;
            }
            if (!std::getline(in_, line)) {
                input_ended_ = true;
                if (terminal_) {
                    out_ << '\n';
                }
                break;
            }
            Execute(line);
        }
        // The end of the input presses the exit button; if that does not end
        // the loop, nothing else could, so it ends anyway.
        if (!quit_ && panel_) {
            Press(kExitCallback);
        }
        const int code = quit_ ? quit_code_ : 0;
        quit_ = false;
        out_.flush();
        return code;
    }

    void QuitUserInterface(int code) override {
        quit_ = true;
        quit_code_ = code;
    }

    int ConfirmPopup(const std::string& title, const std::string& message) override {
        out_.flush();
        // Details below the question end on their own line, so the answer is
        // asked for after them.
        const bool details = message.find("\n\n") != std::string::npos;
        err_ << title << ": " << message << (details ? "\n[y/N] " : " [y/N] ") << std::flush;
        std::string answer;
        if (!std::getline(in_, answer)) {
            input_ended_ = true;
            err_ << '\n';
            return 0;
        }
        // A terminal has echoed the answer already; from a script or a pipe it
        // is repeated, so that the question line ends and a log shows what was
        // said.
        if (!terminal_) {
            err_ << answer << '\n';
        }
        const std::string word = base::AsciiLower(base::Trim(answer));
        return word == "y" || word == "yes" ? 1 : 0;
    }

    void MessagePopup(const std::string& title, const std::string& message) override {
        out_.flush();
        err_ << title << ": " << message << std::endl;
    }

    bool interactive() const override { return terminal_ && !input_ended_; }

  private:
    // Runs one command line; a line it cannot run gets one line on the error
    // stream saying why, and changes nothing.
    void Execute(const std::string& line) {
        std::vector<std::string> words;
        std::istringstream in(line);
        for (std::string word; in >> word;) {
            words.push_back(word);
        }
        if (words.empty()) {
            return;
        }
        const std::string name = base::AsciiLower(words[0]);
        const auto command = std::find_if(std::begin(kCommands), std::end(kCommands),
                                          [&](const CommandWord& c) { return name == c.word; });
        if (command == std::end(kCommands)) {
            return Complain("unknown command '" + words[0] + "'; type help for the list");
        }
        if (name == "help") {
            if (words.size() > 1) {
                return Complain("help takes no value");
            }
            out_ << kHelp << std::flush;
            return;
        }
        if (!panel_) {
            return Complain("no panel is loaded");
        }
        const std::vector<std::string> before = RenderRows(*panel_);
        if (command->control != 0) {
            const std::string refused =
                EditField(name, words, *panel_->FindControl(command->control));
            return refused.empty() ? ShowChanges(before) : Complain(refused);
        }
        if (words.size() > 1) {
            return Complain(name + " takes no value");
        }
        const std::string_view callback = command->callback != nullptr ? command->callback : "";
        if (callback.empty()) {
            RenderPanel(out_, *panel_);
        } else if (callback != kApplyCallback && callback != kExitCallback &&
                   panel_->FindButtonByCallback(callback) == nullptr) {
            std::string button = name;
            button[0] = static_cast<char>(button[0] - 'a' + 'A');  // command words are lower case
            Complain("this panel file has no " + button +
                     " button; restore the panel file that came with the program (or use "
                     "--dry-run, --restore)");
        } else {
            Press(callback);
            if ((callback == kApplyCallback || callback == kRestoreCallback) && !quit_) {
                ShowChanges(before);
            }
        }
    }

    // After a command: the whole panel for a person, the rows that differ
    // from `before` for a script.
    void ShowChanges(const std::vector<std::string>& before) {
        const std::vector<std::string> after = RenderRows(*panel_);
        if (after == before) {
            return;
        }
        if (terminal_) {
            return RenderPanel(out_, *panel_);
        }
        for (std::size_t i = 0; i < after.size(); ++i) {
            if (after[i] != before[i] && !after[i].empty()) {
                out_ << after[i] << '\n';
            }
        }
        out_ << std::flush;
    }

    void Complain(const std::string& why) {
        out_.flush();
        // A complaint quotes what was typed; a pasted escape sequence is
        // shown, not obeyed.
        err_ << base::Printable(why) << std::endl;
    }

    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    bool input_ended_ = false;
    bool quit_ = false;
    int quit_code_ = 0;
};

}  // namespace

std::unique_ptr<UiEngine> CreateConsoleEngine(CallbackTable callbacks, std::istream& in,
                                              std::ostream& out, std::ostream& err,
                                              ConsoleInput input) {
    return std::make_unique<ConsoleEngine>(std::move(callbacks), in, out, err, input);
}

std::string ConsoleCommandHelp() {
    return kHelp;
}

}  // namespace ruvuvuri::ui
