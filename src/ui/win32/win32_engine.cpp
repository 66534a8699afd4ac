// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/win32/win32_engine.h"

#include <windows.h>
// Needs the types of windows.h.
#include <commctrl.h>

#include <optional>

#include "ui/panel_file.h"
#include "ui/panel_ids.h"
#include "ui/win32/ansi_text.h"
#include "ui/win32/panel_window.h"

namespace ruvuvuri::ui::win32 {
namespace {

constexpr const char* kTitle = "Ruvuvuri";

class Win32Engine final : public UiEngine {
  public:
    explicit Win32Engine(const CallbackTable& callbacks) : callbacks_(callbacks) {
        InitCommonControls();
    }

    int LoadPanel(int parent, const std::string& file, int panel_id) override {
        std::string why;
        if (parent != 0) {
            why = "panel file " + file + " has no panel inside panel " + std::to_string(parent);
        } else {
            try {
                // The same check as every other engine: the panel, its
                // controls, and buttons that lead to the program's callbacks.
                PanelFile read = LoadPanelFile(file, panel_id, callbacks_);
                window_.emplace(
                    std::move(read), [this](const std::string& name) { Press(name); },
                    [this] { Close(); });
                if (!window_->Create(&why)) {
                    window_.reset();
                }
            } catch (const PanelFileError& error) {
                why = error.what();
            }
        }
        if (!window_) {
            last_error_ = why;
            // The program ends with -1 after this; say why first.
            MessageBoxA(nullptr, ToAnsi(why).c_str(), kTitle, MB_OK | MB_ICONERROR);
            return -1;
        }
        return PANEL;
    }

    void DisplayPanel(int panel) override {
        if (HWND window = Window(panel)) {
            ShowWindow(window, SW_SHOWNORMAL);
            SetForegroundWindow(window);
        }
    }

    int RunUserInterface() override {
        quit_ = false;
        MSG message{};
        while (!quit_ && GetMessageA(&message, nullptr, 0, 0) > 0) {
            HWND window = window_ ? window_->window() : nullptr;
            if (window == nullptr || !IsDialogMessageA(window, &message)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
        return code_;
    }

    void QuitUserInterface(int code) override {
        code_ = code;
        quit_ = true;
        // Wakes the loop, which then sees quit_.
        PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
    }

    void SetCtrlVal(int panel, int control, const std::string& value) override {
        if (Window(panel)) {
            window_->SetText(control, value);
        }
    }
    void SetCtrlVal(int panel, int control, double value) override {
        if (Window(panel)) {
            window_->SetClock(control, value);
        }
    }
    void SetCtrlVal(int panel, int control, std::uint32_t value) override {
        if (Window(panel)) {
            window_->SetInteger(control, value);
        }
    }
    bool GetCtrlVal(int panel, int control, std::string* value) override {
        if (!Window(panel) || FindPanelControl(control) == nullptr) {
            return Refuse("the panel has no control " + std::to_string(control));
        }
        *value = window_->GetText(control);
        return true;
    }
    bool GetCtrlVal(int panel, int control, double* value) override {
        return Read(panel, control, value, [&] { return window_->GetClock(control); });
    }
    bool GetCtrlVal(int panel, int control, std::uint32_t* value) override {
        return Read(panel, control, value, [&] { return window_->GetInteger(control); });
    }

    bool GetCtrlLimits(int panel, int control, double* minimum, double* maximum) override {
        const PanelFileControl* field =
            Window(panel) ? window_->file().FindControl(control) : nullptr;
        if (field == nullptr || FindPanelControl(control)->kind != ControlKind::Double) {
            return Refuse("control " + std::to_string(control) + " is no clock field");
        }
        *minimum = field->minimum;
        *maximum = field->maximum;
        return true;
    }

    // Message boxes are answered by a person.
    bool interactive() const override { return true; }

    const std::string& last_error() const override { return last_error_; }

    // "No" is the default answer: a stray Enter never reprograms the card.
    int ConfirmPopup(const std::string& title, const std::string& message) override {
        return Box(title, message, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES ? 1 : 0;
    }

    void MessagePopup(const std::string& title, const std::string& message) override {
        Box(title, message, MB_OK | MB_ICONINFORMATION);
    }

  private:
    int Box(const std::string& title, const std::string& message, UINT type) const {
        HWND window = window_ ? window_->window() : nullptr;
        HWND owner = window != nullptr && IsWindowVisible(window) ? window : nullptr;
        return MessageBoxA(owner, ToAnsi(message).c_str(), ToAnsi(title).c_str(), type);
    }

    bool Refuse(const std::string& why) {
        last_error_ = why;
        return false;
    }

    template <typename T, typename ReadField>
    bool Read(int panel, int control, T* value, ReadField read) {
        if (!Window(panel)) {
            return Refuse("no panel has the handle " + std::to_string(panel));
        }
        const std::optional<T> got = read();
        if (!got) {
            return Refuse("control " + std::to_string(control) +
                          " does not hold a complete value of that kind");
        }
        *value = *got;
        return true;
    }

    HWND Window(int panel) const { return panel == PANEL && window_ ? window_->window() : nullptr; }

    void Press(const std::string& name) { PressCallback(callbacks_, name, PANEL); }

    // The close box, Escape and Alt+F4 act like the button that calls Exit.
    void Close() {
        if (!PressCallback(callbacks_, kExitCallback, PANEL)) {
            QuitUserInterface(0);
        }
    }

    CallbackTable callbacks_;
    std::string last_error_;
    std::optional<PanelWindow> window_;
    bool quit_ = false;
    int code_ = 0;
};

}  // namespace

std::unique_ptr<UiEngine> CreateWin32Engine(const CallbackTable& callbacks) {
    return std::make_unique<Win32Engine>(callbacks);
}

}  // namespace ruvuvuri::ui::win32
