// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/panel_file.h"
#include "ui/panel_ids.h"

namespace ruvuvuri::ui::win32 {

// One panel as a modeless dialog of native controls, laid out from the panel
// file as a form: the banner, one row per control (label, field), the buttons
// at the bottom right. The dialog manager gives Tab order (fields, then
// buttons, in the file's order), Enter (the first button is the default one)
// and Escape. Holds the last value of every field, so that text a user left
// unreadable falls back to it.
class PanelWindow {
  public:
    // Called with the callback name of a pressed button; `close` is what the
    // close box, Escape and Alt+F4 do.
    using ButtonHandler = std::function<void(const std::string& callback)>;
    using CloseHandler = std::function<void()>;

    PanelWindow(PanelFile file, ButtonHandler on_button, CloseHandler on_close);
    ~PanelWindow();
    PanelWindow(const PanelWindow&) = delete;
    PanelWindow& operator=(const PanelWindow&) = delete;

    // Creates the window, hidden. False with the system's reason on failure.
    bool Create(std::string* error);
    HWND window() const { return dialog_; }
    const PanelFile& file() const { return file_; }

    void SetText(int control, const std::string& value);
    void SetClock(int control, double value);
    void SetInteger(int control, std::uint32_t value);
    std::string GetText(int control) const;
    // Nothing when the control is not of that kind or does not hold a
    // complete value (see GetCtrlVal).
    std::optional<double> GetClock(int control) const;
    std::optional<std::uint32_t> GetInteger(int control) const;

  private:
    struct Field {
        const PanelFileControl* control = nullptr;
        ControlKind kind = ControlKind::Text;
        bool editable = false;
        HWND edit = nullptr;
        double clock = 0.0;
        std::uint32_t integer = 0;
        int row = 0;  // top, in dialog units
        bool new_section = false;
    };

    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
    INT_PTR Handle(UINT message, WPARAM wparam, LPARAM lparam);
    void BuildControls();
    HWND AddChild(const char* window_class, const std::string& text, DWORD style, RECT units,
                  int id);
    Field* FindField(int control);
    const Field* FindField(int control) const;
    void StepClock(Field& field, int delta);
    void Normalise(Field& field);

    PanelFile file_;
    ButtonHandler on_button_;
    CloseHandler on_close_;
    HWND dialog_ = nullptr;
    HFONT bold_font_ = nullptr;
    std::vector<Field> fields_;
    int buttons_bottom_ = 0;
};

}  // namespace ruvuvuri::ui::win32
