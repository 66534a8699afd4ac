// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/panel_ids.h"
#include "ui/qt/panel_widgets.h"
#include "ui/ui_engine.h"

class QWidget;

namespace ruvuvuri::ui::qt {

class ApplicationHost;

// The panel engine on Qt Widgets: panels come from Qt Designer files, buttons
// call the program's named callbacks, popups are message boxes. It only shows
// and edits values; what a button does is up to the callbacks.
class QtEngine final : public UiEngine {
  public:
    // Uses the process's QApplication, or starts one; nullptr with the reason
    // when none can be made (no display).
    static std::unique_ptr<QtEngine> Create(const CallbackTable& callbacks, std::string* error);
    ~QtEngine() override;

    QtEngine(const QtEngine&) = delete;
    QtEngine& operator=(const QtEngine&) = delete;

    int LoadPanel(int parent, const std::string& file, int panel_id) override;
    void DisplayPanel(int panel) override;
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
    // A message box counting down, with Keep and Revert (the default).
    int TimedConfirmPopup(const std::string& title, const std::string& message_format, int seconds,
                          int cancel_fd) override;

    // Why the last call failed (a panel that did not load, an unknown control,
    // a value of the wrong type); empty after success.
    const std::string& last_error() const override { return last_error_; }
    bool interactive() const override { return true; }
    // The window of a loaded panel, or nullptr.
    QWidget* panel_window(int panel) const;

  private:
    QtEngine(std::unique_ptr<ApplicationHost> host, const CallbackTable& callbacks);

    PanelWidgets* Panel(int handle) const;
    // The widget of `control` on `panel` when the control is of `kind`, or
    // nullptr with last_error set ("control N " + `refusal` for the kind).
    QWidget* Control(int panel, int control, ControlKind kind, const char* refusal);
    bool OnClose(int panel);
    QWidget* PopupParent() const;

    // Declared first so that it outlives every widget.
    std::unique_ptr<ApplicationHost> host_;
    CallbackTable callbacks_;
    std::vector<std::unique_ptr<PanelWidgets>> panels_;  // handle = index + 1
    std::string last_error_;
    bool running_ = false;
    bool quit_pending_ = false;
    int quit_code_ = 0;
};

}  // namespace ruvuvuri::ui::qt
