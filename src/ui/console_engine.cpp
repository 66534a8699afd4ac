// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/console_engine.h"

#include <iostream>
#include <ostream>

#include <unistd.h>

#include "base/printable.h"
#include "base/text.h"
#include "ui/console_commands.h"
#include "ui/console_render.h"
#include "ui/console_spin_box.h"

namespace ruvuvuri::ui {
namespace {

const char* KindName(ControlKind kind) {
    constexpr const char* kNames[] = {"text", "32-bit integer", "double"};
    return kNames[static_cast<int>(kind)];
}

// Every edit command has checked its value, so a stored value is complete.
template <typename T>
bool ReadValue(const ConsoleControlValue* stored, T ConsoleControlValue::*member, T* value) {
    if (stored != nullptr) {
        *value = stored->*member;
    }
    return stored != nullptr;
}

}  // namespace

ConsoleEngine::ConsoleEngine(CallbackTable callbacks, std::istream& in, std::ostream& out,
                             std::ostream& err, Input input)
    : callbacks_(std::move(callbacks)),
      in_(in),
      out_(out),
      err_(err),
      input_is_terminal_(input == Input::Terminal || (input == Input::Detect && &in == &std::cin &&
                                                      isatty(STDIN_FILENO) == 1)) {}

int ConsoleEngine::LoadPanel(int parent, const std::string& file, int panel_id) {
    if (parent != 0) {
        last_error_ =
            "the console shows top-level panels only (parent " + std::to_string(parent) + ")";
        return -1;
    }
    Panel panel;
    try {
        panel.file = LoadPanelFile(file, panel_id, callbacks_);
    } catch (const PanelFileError& error) {
        last_error_ = error.what();
        return -1;
    }
    for (PanelFileControl& control : panel.file.controls) {
        ConsoleControlValue value;
        if (FindPanelControl(control.id)->kind == ControlKind::Double) {
            RoundLimitsToDecimals(control);
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
        RenderPanel(out_, *shown);
    }
}

int ConsoleEngine::RunUserInterface() {
    quit_ = false;
    quit_code_ = 0;
    std::string line;
    while (!quit_) {
        if (input_is_terminal_) {
            out_ << "ruvuvuri> " << std::flush;
        }
        if (!std::getline(in_, line)) {
            input_ended_ = true;
            if (input_is_terminal_) {
                out_ << '\n';
            }
            break;
        }
        Execute(line);
    }
    // The end of the input presses the exit button; if that does not end
    // the loop, nothing else could, so it ends anyway.
    if (Panel* panel = quit_ ? nullptr : ActivePanel()) {
        PressCallback(callbacks_, kExitCallback, panel->handle);
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
    if (ConsoleControlValue* stored = FindValue(panel, control, ControlKind::Text)) {
        stored->text = value;
    }
}

void ConsoleEngine::SetCtrlVal(int panel, int control, double value) {
    const PanelFileControl* description = nullptr;
    if (ConsoleControlValue* stored =
            FindValue(panel, control, ControlKind::Double, &description)) {
        stored->number = ProgramSetValue(*description, value);
    }
}

void ConsoleEngine::SetCtrlVal(int panel, int control, std::uint32_t value) {
    if (ConsoleControlValue* stored = FindValue(panel, control, ControlKind::Integer)) {
        stored->integer = value;
    }
}

bool ConsoleEngine::GetCtrlVal(int panel, int control, std::string* value) {
    return ReadValue(FindValue(panel, control, ControlKind::Text), &ConsoleControlValue::text,
                     value);
}

bool ConsoleEngine::GetCtrlVal(int panel, int control, double* value) {
    return ReadValue(FindValue(panel, control, ControlKind::Double), &ConsoleControlValue::number,
                     value);
}

bool ConsoleEngine::GetCtrlVal(int panel, int control, std::uint32_t* value) {
    return ReadValue(FindValue(panel, control, ControlKind::Integer), &ConsoleControlValue::integer,
                     value);
}

bool ConsoleEngine::GetCtrlLimits(int panel, int control, double* minimum, double* maximum) {
    const PanelFileControl* description = nullptr;
    if (FindValue(panel, control, ControlKind::Double, &description) == nullptr) {
        return false;
    }
    *minimum = description->minimum;
    *maximum = description->maximum;
    return true;
}

int ConsoleEngine::ConfirmPopup(const std::string& title, const std::string& message) {
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
    // A terminal has echoed the answer already; from a script or a pipe it is
    // repeated, so that the question line ends and a log shows what was said.
    if (!input_is_terminal_) {
        err_ << answer << '\n';
    }
    const std::string word = base::AsciiLower(base::Trim(answer));
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

ConsoleControlValue* ConsoleEngine::FindValue(int handle, int control, ControlKind kind,
                                              const PanelFileControl** description) {
    Panel* panel = FindPanel(handle);
    if (panel == nullptr) {
        return nullptr;
    }
    const PanelFileControl* found = panel->file.FindControl(control);
    if (found == nullptr) {
        last_error_ = "the panel has no control " + std::to_string(control);
        return nullptr;
    }
    const ControlKind wanted = FindPanelControl(control)->kind;
    if (wanted != kind) {
        last_error_ = found->name + " takes a " + KindName(wanted) + " value, not a " +
                      KindName(kind) + " value";
        return nullptr;
    }
    if (description != nullptr) {
        *description = found;
    }
    return &panel->ValueOf(*found);
}

void ConsoleEngine::Execute(const std::string& line) {
    const ConsoleCommand command = ParseConsoleCommand(line);
    switch (command.kind) {
        case ConsoleCommandKind::Empty:
            return;
        case ConsoleCommandKind::Unknown:
            Complain("unknown command '" + command.words[0] + "'; type help for the list");
            return;
        case ConsoleCommandKind::Help:
            if (command.words.size() > 1) {
                Complain("help takes no value");
            } else {
                out_ << ConsoleCommandHelp() << std::flush;
            }
            return;
        default:
            break;
    }
    Panel* panel = ActivePanel();
    if (panel == nullptr) {
        Complain("no panel is loaded");
        return;
    }
    const std::vector<std::string> before = RenderRows(*panel);
    if (command.kind == ConsoleCommandKind::Edit) {
        const PanelFileControl& control = *panel->file.FindControl(command.control);
        const std::string refused = EditField(command, control, panel->ValueOf(control));
        if (refused.empty()) {
            ShowChanges(*panel, before);
        } else {
            Complain(refused);
        }
        return;
    }
    if (command.words.size() > 1) {
        Complain(command.name + " takes no value");
        return;
    }
    if (command.kind == ConsoleCommandKind::Apply) {
        PressCallback(callbacks_, kApplyCallback, panel->handle);
        if (!quit_) {
            ShowChanges(*panel, before);
        }
    } else if (command.kind == ConsoleCommandKind::Preview) {
        if (panel->file.FindButtonByCallback(kPreviewCallback) == nullptr) {
            Complain(
                "this panel file has no Preview button; restore the panel file that came with "
                "the program, or use --dry-run");
        } else {
            PressCallback(callbacks_, kPreviewCallback, panel->handle);
        }
    } else if (command.kind == ConsoleCommandKind::Exit) {
        PressCallback(callbacks_, kExitCallback, panel->handle);
    } else {
        RenderPanel(out_, *panel);
    }
}

void ConsoleEngine::ShowChanges(const Panel& panel, const std::vector<std::string>& before) {
    const std::vector<std::string> after = RenderRows(panel);
    if (after == before) {
        return;
    }
    if (input_is_terminal_) {
        RenderPanel(out_, panel);
        return;
    }
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (after[i] != before[i] && !after[i].empty()) {
            out_ << after[i] << '\n';
        }
    }
    out_ << std::flush;
}

void ConsoleEngine::Complain(const std::string& why) {
    out_.flush();
    // A complaint quotes what was typed; a pasted escape sequence is shown,
    // not obeyed.
    err_ << base::Printable(why) << std::endl;
}

std::unique_ptr<ConsoleEngine> CreateConsoleEngine(CallbackTable callbacks, std::istream& in,
                                                   std::ostream& out, std::ostream& err,
                                                   ConsoleEngine::Input input) {
    return std::make_unique<ConsoleEngine>(std::move(callbacks), in, out, err, input);
}

}  // namespace ruvuvuri::ui
