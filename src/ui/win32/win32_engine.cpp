#include "ui/win32/win32_engine.h"

#include <windows.h>
// Needs the types of windows.h.
#include <commctrl.h>

#include <optional>

#include "app/panel_ids.h"
#include "ui/panel_file.h"
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
        if (parent != 0 || panel_id != app::PANEL) {
            why = "panel file " + file + " has no top-level panel " + std::to_string(panel_id);
        } else {
            try {
                PanelFile read = ReadPanelFile(file);
                why = CheckCallbacks(read, file);
                if (why.empty()) {
                    window_.emplace(
                        std::move(read), [this](const std::string& name) { Press(name); },
                        [this] { Close(); });
                    if (!window_->Create(&why)) {
                        window_.reset();
                    }
                }
            } catch (const PanelFileError& error) {
                why = error.what();
            }
        }
        if (!window_) {
            // The program ends with -1 after this; say why first.
            MessageBoxA(nullptr, ToAnsi(why).c_str(), kTitle, MB_OK | MB_ICONERROR);
            return -1;
        }
        return app::PANEL;
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
    void GetCtrlVal(int panel, int control, std::string* value) override {
        if (Window(panel)) {
            *value = window_->GetText(control);
        }
    }
    void GetCtrlVal(int panel, int control, double* value) override {
        if (Window(panel)) {
            *value = window_->GetClock(control);
        }
    }
    void GetCtrlVal(int panel, int control, std::uint32_t* value) override {
        if (Window(panel)) {
            *value = window_->GetInteger(control);
        }
    }

    // "No" is the default answer: a stray Enter never reprograms the card.
    int ConfirmPopup(const std::string& title, const std::string& message) override {
        return MessageBoxA(Owner(), ToAnsi(message).c_str(), ToAnsi(title).c_str(),
                           MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES
                   ? 1
                   : 0;
    }

    void MessagePopup(const std::string& title, const std::string& message) override {
        MessageBoxA(Owner(), ToAnsi(message).c_str(), ToAnsi(title).c_str(),
                    MB_OK | MB_ICONINFORMATION);
    }

  private:
    HWND Window(int panel) const {
        return panel == app::PANEL && window_ ? window_->window() : nullptr;
    }

    HWND Owner() const {
        HWND window = window_ ? window_->window() : nullptr;
        return window != nullptr && IsWindowVisible(window) ? window : nullptr;
    }

    const NamedCallback* Find(const std::string& name) const {
        for (const NamedCallback& named : callbacks_) {
            if (named.name == name && named.callback) {
                return &named;
            }
        }
        return nullptr;
    }

    // Every button must lead to a callback of the program.
    std::string CheckCallbacks(const PanelFile& read, const std::string& file) const {
        for (const PanelFileButton& button : read.buttons) {
            if (!button.callback.empty() && !Find(button.callback)) {
                return "panel file " + file + ": button " + button.name + " names the callback \"" +
                       button.callback +
                       "\", which the program does not have; restore the panel file that "
                       "came with the program";
            }
        }
        return {};
    }

    void Press(const std::string& name) {
        if (const NamedCallback* named = Find(name)) {
            named->callback(app::PANEL, 0, app::EVENT_COMMIT, nullptr, 0, 0);
        }
    }

    // The close box, Escape and Alt+F4 act like the button that calls Exit.
    void Close() {
        if (Find("Exit")) {
            Press("Exit");
        } else {
            QuitUserInterface(0);
        }
    }

    CallbackTable callbacks_;
    std::optional<PanelWindow> window_;
    bool quit_ = false;
    int code_ = 0;
};

}  // namespace

std::unique_ptr<UiEngine> CreateWin32Engine(const CallbackTable& callbacks) {
    return std::make_unique<Win32Engine>(callbacks);
}

}  // namespace ruvuvuri::ui::win32
