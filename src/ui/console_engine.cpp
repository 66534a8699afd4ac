#include "ui/console_engine.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <ostream>
#include <sstream>
#include <string_view>

#include <unistd.h>

#include "base/number_text.h"
#include "base/printable.h"

namespace ruvuvuri::ui {
namespace {

// The buttons the console commands press, found by the callback they name.
constexpr const char* kApplyCallback = "SetNewClocks";
constexpr const char* kExitCallback = "Exit";

// The commands that edit a field, and the field each one edits.
struct EditCommand {
    const char* word;
    int control;
};
constexpr EditCommand kEditCommands[] = {
    {"core", PANEL_CORECLK}, {"mem", PANEL_MEMCLK}, {"t0", PANEL_TIMING0},
    {"t1", PANEL_TIMING1},   {"t2", PANEL_TIMING2},
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
    "  exit, quit  press Exit; the end of the input does the same\n"
    "  show        print the panel again\n"
    "  help        print this list\n";

const PanelControl* FindPanelControl(int id) {
    for (const PanelControl& control : kPanelControls) {
        if (control.id == id) {
            return &control;
        }
    }
    return nullptr;
}

const char* KindName(ControlKind kind) {
    switch (kind) {
        case ControlKind::Text:
            return "text";
        case ControlKind::Integer:
            return "32-bit integer";
        case ControlKind::Double:
            return "double";
    }
    return "unknown";
}

bool IsTiming(int control) {
    return control == PANEL_TIMING0 || control == PANEL_TIMING1 || control == PANEL_TIMING2;
}

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

// Fixed-point text with `decimals` digits, independent of the locale.
std::string FormatFixed(double value, int decimals) {
    char text[400];
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) {
        return std::to_string(value);
    }
    return std::string(text, end);
}

std::string FormatHex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

// Rounds to the decimals a spin box shows, the way the spin box does: through
// the decimal text of the exact binary value.
double RoundTo(double value, int decimals) {
    const std::string text = FormatFixed(value, decimals);
    double rounded = value;
    std::from_chars(text.data(), text.data() + text.size(), rounded);
    return rounded;
}

// The value a spin box ends up holding when it is given `value`.
double SpinBoxValue(const PanelFileControl& control, double value) {
    if (std::isnan(value)) {
        return control.minimum;
    }
    return std::clamp(RoundTo(value, control.decimals), control.minimum, control.maximum);
}

// What a clock field shows when the program sets it: the value at the field's
// decimals, outside the limits too (a PLL the panel would not let the user
// ask for still shows the clock it runs at).
double ProgramSetValue(const PanelFileControl& control, double value) {
    return std::isfinite(value) ? RoundTo(value, control.decimals) : SpinBoxValue(control, value);
}

const char* CommandFor(const PanelFileButton& button) {
    if (button.callback == kApplyCallback) {
        return "apply";
    }
    if (button.callback == kExitCallback) {
        return "exit";
    }
    return nullptr;
}

const EditCommand* FindEditCommand(std::string_view word) {
    for (const EditCommand& edit : kEditCommands) {
        if (word == edit.word) {
            return &edit;
        }
    }
    return nullptr;
}

const char* EditWordFor(int control) {
    for (const EditCommand& edit : kEditCommands) {
        if (edit.control == control) {
            return edit.word;
        }
    }
    return nullptr;
}

std::string LabelOf(const PanelFileControl& control) {
    return control.label.empty() ? control.name : control.label;
}

std::string LimitsOf(const PanelFileControl& control) {
    return FormatFixed(control.minimum, control.decimals) + " to " +
           FormatFixed(control.maximum, control.decimals) + control.suffix;
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

}  // namespace

ConsoleEngine::ConsoleEngine(CallbackTable callbacks, std::istream& in, std::ostream& out,
                             std::ostream& err)
    : callbacks_(std::move(callbacks)),
      in_(in),
      out_(out),
      err_(err),
      input_is_terminal_(&in == &std::cin && isatty(STDIN_FILENO) == 1) {}

int ConsoleEngine::LoadPanel(int parent, const std::string& file, int panel_id) {
    if (parent != 0) {
        last_error_ =
            "the console shows top-level panels only (parent " + std::to_string(parent) + ")";
        return -1;
    }
    if (panel_id != PANEL) {
        last_error_ = "panel file " + file + " has no panel " + std::to_string(panel_id) +
                      "; its only panel is PANEL (" + std::to_string(PANEL) + ")";
        return -1;
    }
    Panel panel;
    try {
        panel.file = ReadPanelFile(file);
    } catch (const PanelFileError& error) {
        last_error_ = error.what();
        return -1;
    }

    // Every button must lead somewhere, and the console's apply and exit
    // commands need their two buttons.
    const auto fail = [&](const std::string& why) {
        last_error_ = "panel file " + file + ": " + why +
                      "; restore the panel file that came with the program";
        return -1;
    };
    for (const PanelFileButton& button : panel.file.buttons) {
        const bool known =
            button.callback.empty() ||
            std::any_of(callbacks_.begin(), callbacks_.end(),
                        [&](const NamedCallback& named) { return named.name == button.callback; });
        if (!known) {
            return fail("button " + button.name + " calls '" + button.callback +
                        "', which the program does not have");
        }
    }
    for (const char* callback : {kApplyCallback, kExitCallback}) {
        if (panel.file.FindButtonByCallback(callback) == nullptr) {
            return fail(std::string("no button calls ") + callback);
        }
    }

    for (PanelFileControl& control : panel.file.controls) {
        ControlValue value;
        if (FindPanelControl(control.id)->kind == ControlKind::Double) {
            // A spin box keeps its limits at the decimals it shows.
            control.minimum = RoundTo(control.minimum, control.decimals);
            control.maximum = RoundTo(control.maximum, control.decimals);
            value.number = SpinBoxValue(control, control.value);
        } else {
            value.text = control.text;
        }
        panel.values.push_back(std::move(value));
    }
    panel.handle = static_cast<int>(panels_.size()) + 1;
    panels_.push_back(std::move(panel));
    return panels_.back().handle;
}

void ConsoleEngine::DisplayPanel(int panel) {
    if (Panel* shown = FindPanel(panel)) {
        shown_ = shown->handle;
        Print(*shown);
    }
}

int ConsoleEngine::RunUserInterface() {
    quit_ = false;
    quit_code_ = 0;
    std::string line;
    while (!quit_ && std::getline(in_, line)) {
        Execute(line);
    }
    if (!quit_) {
        // The end of the input presses the exit button; if that does not end
        // the loop, nothing else could, so it ends anyway.
        if (Panel* panel = ActivePanel()) {
            PressButton(*panel, kExitCallback);
        }
    }
    const int code = quit_ ? quit_code_ : 0;
    quit_ = false;
    out_.flush();
    return code;
}

void ConsoleEngine::QuitUserInterface(int code) {
    quit_ = true;
    quit_code_ = code;
}

void ConsoleEngine::SetCtrlVal(int panel, int control, const std::string& value) {
    if (ControlValue* stored = FindValue(panel, control, ControlKind::Text, nullptr)) {
        stored->text = value;
    }
}

void ConsoleEngine::SetCtrlVal(int panel, int control, double value) {
    const PanelFileControl* description = nullptr;
    if (ControlValue* stored = FindValue(panel, control, ControlKind::Double, &description)) {
        stored->number = ProgramSetValue(*description, value);
    }
}

void ConsoleEngine::SetCtrlVal(int panel, int control, std::uint32_t value) {
    if (ControlValue* stored = FindValue(panel, control, ControlKind::Integer, nullptr)) {
        stored->integer = value;
    }
}

bool ConsoleEngine::GetCtrlVal(int panel, int control, std::string* value) {
    // Every edit command has checked its value, so a stored value is complete.
    ControlValue* stored = FindValue(panel, control, ControlKind::Text, nullptr);
    if (stored != nullptr) {
        *value = stored->text;
    }
    return stored != nullptr;
}

bool ConsoleEngine::GetCtrlVal(int panel, int control, double* value) {
    ControlValue* stored = FindValue(panel, control, ControlKind::Double, nullptr);
    if (stored != nullptr) {
        *value = stored->number;
    }
    return stored != nullptr;
}

bool ConsoleEngine::GetCtrlVal(int panel, int control, std::uint32_t* value) {
    ControlValue* stored = FindValue(panel, control, ControlKind::Integer, nullptr);
    if (stored != nullptr) {
        *value = stored->integer;
    }
    return stored != nullptr;
}

int ConsoleEngine::ConfirmPopup(const std::string& title, const std::string& message) {
    out_.flush();
    err_ << title << ": " << message << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(in_, answer)) {
        err_ << '\n';
        return 0;
    }
    // A terminal has echoed the answer already; from a script or a pipe it is
    // repeated, so that the question line ends and a log shows what was said.
    if (!input_is_terminal_) {
        err_ << answer << '\n';
    }
    const std::string word = Lower(Trim(answer));
    return word == "y" || word == "yes" ? 1 : 0;
}

void ConsoleEngine::MessagePopup(const std::string& title, const std::string& message) {
    out_.flush();
    err_ << title << ": " << message << std::endl;
}

ConsoleEngine::Panel* ConsoleEngine::FindPanel(int handle) {
    for (Panel& panel : panels_) {
        if (panel.handle == handle) {
            return &panel;
        }
    }
    last_error_ = "no panel has the handle " + std::to_string(handle);
    return nullptr;
}

ConsoleEngine::Panel* ConsoleEngine::ActivePanel() {
    if (shown_ != 0) {
        return FindPanel(shown_);
    }
    return panels_.empty() ? nullptr : &panels_.back();
}

ConsoleEngine::ControlValue* ConsoleEngine::FindValue(int handle, int control, ControlKind kind,
                                                      const PanelFileControl** description) {
    Panel* panel = FindPanel(handle);
    if (panel == nullptr) {
        return nullptr;
    }
    for (std::size_t i = 0; i < panel->file.controls.size(); ++i) {
        const PanelFileControl& found = panel->file.controls[i];
        if (found.id != control) {
            continue;
        }
        const ControlKind wanted = FindPanelControl(control)->kind;
        if (wanted != kind) {
            last_error_ = found.name + " takes a " + KindName(wanted) + " value, not a " +
                          KindName(kind) + " value";
            return nullptr;
        }
        if (description != nullptr) {
            *description = &found;
        }
        return &panel->values[i];
    }
    last_error_ = "the panel has no control " + std::to_string(control);
    return nullptr;
}

void ConsoleEngine::Print(const Panel& panel) {
    if (!panel.file.title.empty()) {
        out_ << "== " << panel.file.title << " ==\n";
    }
    std::size_t width = 0;
    for (const PanelFileControl& control : panel.file.controls) {
        if (control.id == PANEL_BANNER) {
            const std::string& banner = panel.values[&control - panel.file.controls.data()].text;
            if (!banner.empty()) {
                out_ << banner << '\n';
            }
        } else {
            width = std::max(width, LabelOf(control).size());
        }
    }
    for (std::size_t i = 0; i < panel.file.controls.size(); ++i) {
        const PanelFileControl& control = panel.file.controls[i];
        const ControlValue& value = panel.values[i];
        std::string shown;
        switch (FindPanelControl(control.id)->kind) {
            case ControlKind::Text:
                if (control.id == PANEL_BANNER) {
                    continue;
                }
                shown = value.text;
                break;
            case ControlKind::Integer:
                shown = FormatHex(value.integer, IsTiming(control.id) ? 8 : 4);
                break;
            case ControlKind::Double:
                shown = FormatFixed(value.number, control.decimals) + control.suffix;
                break;
        }
        out_ << "  " << Padded(LabelOf(control), width) << "  ";
        const char* word = EditWordFor(control.id);
        if (word == nullptr || control.read_only) {
            out_ << shown << '\n';
        } else if (FindPanelControl(control.id)->kind == ControlKind::Double) {
            out_ << Padded(shown, 14) << "  (" << word << ", " << LimitsOf(control) << ")\n";
        } else {
            out_ << Padded(shown, 14) << "  (" << word << ")\n";
        }
    }
    const char* gap = "  ";
    for (const PanelFileButton& button : panel.file.buttons) {
        out_ << gap << '[' << button.text << ']';
        gap = "   ";
        if (const char* command = CommandFor(button)) {
            out_ << ' ' << command;
        }
    }
    out_ << "   (help lists the commands)\n" << std::flush;
}

void ConsoleEngine::Execute(const std::string& line) {
    const std::vector<std::string> words = Words(line);
    if (words.empty()) {
        return;
    }
    const std::string command = Lower(words[0]);
    const EditCommand* edit = FindEditCommand(command);
    const bool known = edit != nullptr || command == "apply" || command == "exit" ||
                       command == "quit" || command == "show" || command == "help";
    if (!known) {
        Complain("unknown command '" + words[0] + "'; type help for the list");
        return;
    }
    if (command == "help") {
        if (words.size() > 1) {
            Complain("help takes no value");
            return;
        }
        out_ << kHelp << std::flush;
        return;
    }
    Panel* panel = ActivePanel();
    if (panel == nullptr) {
        Complain("no panel is loaded");
        return;
    }
    if (edit != nullptr) {
        Edit(*panel, edit->control, words);
        return;
    }
    if (words.size() > 1) {
        Complain(command + " takes no value");
        return;
    }
    if (command == "apply") {
        PressButton(*panel, kApplyCallback);
        if (!quit_) {
            Print(*panel);
        }
    } else if (command == "exit" || command == "quit") {
        PressButton(*panel, kExitCallback);
    } else {
        Print(*panel);
    }
}

void ConsoleEngine::Edit(Panel& panel, int control_id, const std::vector<std::string>& words) {
    const std::string command = Lower(words[0]);
    const PanelFileControl* control = panel.file.FindControl(control_id);
    ControlValue& value = panel.values[control - panel.file.controls.data()];
    const bool clock = FindPanelControl(control_id)->kind == ControlKind::Double;
    const std::string usage =
        clock ? command + " MHZ, " + LimitsOf(*control) : command + " HEX, 0 to FFFFFFFF";
    if (words.size() != 2) {
        Complain(command + " takes one value (" + usage + ")");
        return;
    }
    const std::string& text = words[1];
    if (control->read_only) {
        Complain(LabelOf(*control) + " is read-only in the panel file; nothing changed");
        return;
    }
    if (clock) {
        const base::NumberScan<double> wanted = base::ParseDouble(text);
        if (!wanted.ok()) {
            Complain("'" + text + "' is not a number (" + usage + "); nothing changed");
            return;
        }
        const double rounded = RoundTo(wanted.value, control->decimals);
        if (!(rounded >= control->minimum && rounded <= control->maximum)) {
            Complain(LabelOf(*control) + " " + text + " is outside the limits " +
                     LimitsOf(*control) + "; nothing changed");
            return;
        }
        value.number = rounded;
    } else {
        const base::NumberScan<std::uint32_t> wanted = base::ParseHex32(text);
        switch (wanted.status) {
            case base::NumberStatus::Ok:
                value.integer = wanted.value;
                break;
            case base::NumberStatus::NotANumber:
                Complain("'" + text + "' is not a hexadecimal number (" + usage +
                         "); nothing changed");
                return;
            case base::NumberStatus::OutOfRange:
                Complain("'" + text + "' does not fit in 32 bits (" + usage + "); nothing changed");
                return;
        }
    }
    Print(panel);
}

void ConsoleEngine::PressButton(Panel& panel, const char* callback) {
    // LoadPanel has made sure that the button and its callback exist.
    for (const NamedCallback& named : callbacks_) {
        if (named.name == callback && named.callback) {
            named.callback(panel.handle, 0, EVENT_COMMIT, nullptr, 0, 0);
            return;
        }
    }
}

void ConsoleEngine::Complain(const std::string& why) {
    out_.flush();
    // A complaint quotes what was typed; a pasted escape sequence is shown,
    // not obeyed.
    err_ << base::Printable(why) << std::endl;
}

std::unique_ptr<ConsoleEngine> CreateConsoleEngine(CallbackTable callbacks, std::istream& in,
                                                   std::ostream& out, std::ostream& err) {
    return std::make_unique<ConsoleEngine>(std::move(callbacks), in, out, err);
}

std::string ConsoleCommandHelp() {
    return kHelp;
}

}  // namespace ruvuvuri::ui
