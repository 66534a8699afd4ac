// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "ui/console_panel.h"
#include "ui/ui_engine.h"

namespace ruvuvuri::ui {

// A panel engine on plain text streams, for terminals, ssh sessions and
// scripts. The panel is printed as a list of labelled values; the user edits
// it with one command per line (see ConsoleCommandHelp). Popups go to the
// error stream, and a confirmation reads its answer from the command input.
class ConsoleEngine final : public UiEngine {
  public:
    // Who types the commands. A person at a terminal gets a prompt and the
    // whole panel after each change; a script gets the panel once, then only
    // the answers and the rows that changed. Detect asks whether `in` is the
    // standard input and a terminal.
    enum class Input { Detect, Terminal, Script };

    ConsoleEngine(CallbackTable callbacks, std::istream& in, std::ostream& out, std::ostream& err,
                  Input input = Input::Detect);

    int LoadPanel(int parent, const std::string& file, int panel_id) override;
    void DisplayPanel(int panel) override;
    // Reads commands until a callback calls QuitUserInterface or the input
    // ends; the end of input presses the exit button first. Returns the code
    // given to QuitUserInterface (0 when the input ended without one).
    int RunUserInterface() override;
    void QuitUserInterface(int code) override;

    void SetCtrlVal(int panel, int control, const std::string& value) override;
    void SetCtrlVal(int panel, int control, double value) override;
    void SetCtrlVal(int panel, int control, std::uint32_t value) override;
    bool GetCtrlVal(int panel, int control, std::string* value) override;
    bool GetCtrlVal(int panel, int control, double* value) override;
    bool GetCtrlVal(int panel, int control, std::uint32_t* value) override;

    bool GetCtrlLimits(int panel, int control, double* minimum, double* maximum) override;

    int ConfirmPopup(const std::string& title, const std::string& message) override;
    void MessagePopup(const std::string& title, const std::string& message) override;

    // Nothing is printed on a failure; last_error() keeps the reason.
    const std::string& last_error() const override { return last_error_; }
    // A person at a terminal, whose input has not ended.
    bool interactive() const override { return input_is_terminal_ && !input_ended_; }

  private:
    using Panel = ConsolePanel;

    Panel* FindPanel(int handle);
    // The control's description and value; null (with last_error set) when
    // the panel or control does not exist or takes another kind of value.
    ConsoleControlValue* FindValue(int panel, int control, ControlKind kind,
                                   const PanelFileControl** description = nullptr);
    Panel* ActivePanel();

    // After a command: the whole panel for a person, the rows that differ
    // from `before` for a script.
    void ShowChanges(const Panel& panel, const std::vector<std::string>& before);
    // Runs one command line; a line it cannot run gets one line on the error
    // stream saying why, and changes nothing.
    void Execute(const std::string& line);
    void Complain(const std::string& why);

    CallbackTable callbacks_;
    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    bool input_is_terminal_;
    bool input_ended_ = false;
    std::vector<Panel> panels_;
    int shown_ = 0;  // the handle of the panel displayed last
    bool quit_ = false;
    int quit_code_ = 0;
    std::string last_error_;
};

std::unique_ptr<ConsoleEngine> CreateConsoleEngine(
    CallbackTable callbacks, std::istream& in, std::ostream& out, std::ostream& err,
    ConsoleEngine::Input input = ConsoleEngine::Input::Detect);

// The command list, as `help` prints it (also for the program's --help).
std::string ConsoleCommandHelp();

}  // namespace ruvuvuri::ui
