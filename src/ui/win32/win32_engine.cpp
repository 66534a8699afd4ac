// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/win32/win32_engine.h"

#include <windows.h>
// Needs the types of windows.h.
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "ui/field_text.h"
#include "ui/panel_file.h"

namespace ruvuvuri::ui::win32 {
namespace {

constexpr const char* kTitle = "Ruvuvuri";
// The form's geometry in dialog units, which follow the dialog font, so the
// panel keeps its proportions under large fonts and on every version.
constexpr int kMargin = 7;
constexpr int kLabelWidth = 100;
constexpr int kFieldX = kMargin + kLabelWidth + 4;
constexpr int kFieldWidth = 96;
constexpr int kClockWidth = 58;
constexpr int kRowPitch = 16;
constexpr int kEditHeight = 12;
constexpr int kBannerHeight = 18;
constexpr int kSectionGap = 8;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kDialogWidth = kFieldX + kFieldWidth + kMargin;
constexpr double kClockStep = 1.0;
constexpr int kIconId = 1;
// The up-down arrows of a clock field: its control ID plus this.
constexpr int kArrowsIdBase = 3000;

// UTF-8 `text` as UTF-16; empty when MultiByteToWideChar refuses it under
// `flags` (MB_ERR_INVALID_CHARS: any invalid byte).
std::wstring Widen(const std::string& text, DWORD flags) {
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, flags, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, flags, text.data(), size, wide.data(), length);
    return wide;
}

// An empty dialog in the dialog font ("MS Shell Dlg" maps to MS Sans Serif on
// the 95 family and to Tahoma on 2000/XP); the controls are added at run time.
std::vector<WORD> DialogTemplate(const std::string& title, int width, int height) {
    DLGTEMPLATE header{};
    header.style = DS_SETFONT | DS_MODALFRAME | DS_3DLOOK | DS_CENTER | WS_POPUP | WS_CAPTION |
                   WS_SYSMENU | WS_MINIMIZEBOX;
    header.cx = static_cast<short>(width);
    header.cy = static_cast<short>(height);
    std::vector<WORD> words(sizeof header / sizeof(WORD));
    std::memcpy(words.data(), &header, sizeof header);
    words.insert(words.end(), {0, 0});  // no menu, the standard dialog class
    // The template's strings: UTF-16 with their terminating zero.
    const auto append = [&words](const std::string& text) {
        const std::wstring wide = Widen(text, 0);
        words.insert(words.end(), wide.begin(), wide.end());
        words.push_back(0);
    };
    append(title);
    words.push_back(8);  // point size
    append("MS Shell Dlg");
    return words;
}

// The panel as a modeless dialog of native controls, laid out from the panel
// file as a form: the banner, one row per control (label, field), the buttons
// at the bottom right. The dialog manager gives Tab order (fields, then
// buttons, in the file's order), Enter (the button that calls Apply, else the
// first) and Escape. The file's controls hold the last value of every field,
// so that text a user left unreadable falls back to it.
class Win32Engine final : public UiEngine {
  public:
    explicit Win32Engine(const CallbackTable& callbacks) : callbacks_(callbacks) {
        InitCommonControls();
    }
    ~Win32Engine() override { Close(); }

    int LoadPanel(int parent, const std::string& file, int panel_id) override {
        Close();
        std::string why;
        if (parent != 0) {
            why = "panel file " + file + " has no panel inside panel " + std::to_string(parent);
        } else {
            try {
                // The same check as every other engine: the panel, its
                // controls, and buttons that lead to the program's callbacks.
                file_ = LoadPanelFile(file, panel_id, callbacks_);
                Create(&why);
            } catch (const PanelFileError& error) {
                why = error.what();
            }
        }
        if (dialog_ == nullptr) {
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
            if (dialog_ == nullptr || !IsDialogMessageA(dialog_, &message)) {
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
        if (Field* field = FindField(panel, control)) {
            SetWindowTextA(field->edit, ToAnsi(value).c_str());
        }
    }
    void SetCtrlVal(int panel, int control, double value) override {
        if (Field* field = FindField(panel, control)) {
            SetClock(*field, value);
        }
    }
    void SetCtrlVal(int panel, int control, std::uint32_t value) override {
        if (Field* field = FindField(panel, control)) {
            SetInteger(*field, value);
        }
    }

    bool GetCtrlVal(int panel, int control, double* value) override {
        return Read(panel, control, value, ControlKind::Double, [](const Field& field) {
            // The value the program set (even outside the limits), or a
            // complete value the user typed within them; nothing otherwise,
            // so the panel never writes what the field does not show.
            const PanelFileControl& c = *field.control;
            const std::string text = TextOf(field);
            if (text == FormatClock(c.value, c.decimals)) {
                return std::optional(c.value);
            }
            const std::optional<double> typed = ParseClock(text);
            return typed && *typed >= c.minimum && *typed <= c.maximum ? typed : std::nullopt;
        });
    }
    bool GetCtrlVal(int panel, int control, std::uint32_t* value) override {
        return Read(panel, control, value, ControlKind::Integer, [](const Field& field) {
            return field.known->editable ? ParseRegister(TextOf(field))
                                         : std::optional(field.control->integer);
        });
    }

    bool GetCtrlLimits(int panel, int control, double* minimum, double* maximum) override {
        const PanelFileControl* field = Window(panel) ? file_.FindControl(control) : nullptr;
        if (field == nullptr || FindPanelControl(control)->kind != ControlKind::Double) {
            return Refuse("control " + std::to_string(control) + " is no clock field");
        }
        *minimum = field->minimum;
        *maximum = field->maximum;
        return true;
    }

    // "No" is the default answer: a stray Enter never reprograms the card.
    int ConfirmPopup(const std::string& title, const std::string& message) override {
        return Box(title, message, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES ? 1 : 0;
    }
    void MessagePopup(const std::string& title, const std::string& message) override {
        Box(title, message, MB_OK | MB_ICONINFORMATION);
    }

    // Message boxes are answered by a person.
    bool interactive() const override { return true; }
    const std::string& last_error() const override { return last_error_; }

  private:
    struct Field {
        PanelFileControl* control;
        const PanelControl* known;
        HWND edit = nullptr;
        int row = 0;  // top, in dialog units
        bool new_section = false;
    };

    // Creates the dialog, hidden; false with the system's reason on failure.
    // One row per control below the banner; the read-only card facts, the
    // clocks and the timings each get a section of their own.
    bool Create(std::string* error) {
        int y = kMargin + kBannerHeight;
        const Field* previous = nullptr;
        fields_.reserve(file_.controls.size());
        for (PanelFileControl& control : file_.controls) {
            Field& field = fields_.emplace_back(Field{&control, FindPanelControl(control.id)});
            if (control.id == PANEL_BANNER) {
                continue;
            }
            const bool editable = field.known->editable;
            field.new_section =
                previous && (editable != previous->known->editable ||
                             (editable && field.known->kind != previous->known->kind));
            field.row = y + (field.new_section ? kSectionGap : 0);
            y = field.row + kRowPitch;
            previous = &field;
        }
        buttons_bottom_ = y + kSectionGap + kButtonHeight;
        const std::vector<WORD> words =
            DialogTemplate(file_.title, kDialogWidth, buttons_bottom_ + kMargin);
        dialog_ = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEA>(words.data()),
                                             nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
        if (dialog_ == nullptr) {
            *error =
                "cannot create the panel window (error " + std::to_string(GetLastError()) + ")";
        }
        return dialog_ != nullptr;
    }

    void Close() {
        if (dialog_ != nullptr) {
            DestroyWindow(dialog_);
            dialog_ = nullptr;
        }
        if (bold_font_ != nullptr) {
            DeleteObject(bold_font_);
            bold_font_ = nullptr;
        }
        fields_.clear();
    }

    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrA(dialog, GWLP_USERDATA, static_cast<LONG_PTR>(lparam));
            reinterpret_cast<Win32Engine*>(lparam)->dialog_ = dialog;
        }
        auto* self = reinterpret_cast<Win32Engine*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
        return self ? self->Handle(message, wparam, lparam) : FALSE;
    }

    INT_PTR Handle(UINT message, WPARAM wparam, LPARAM lparam) {
        const int id = LOWORD(wparam);
        const int button = id - kButtonIdBase;
        switch (message) {
            case WM_INITDIALOG:
                BuildControls();
                return TRUE;  // focus on the first field
            case WM_CLOSE:
                PressExit();
                return TRUE;
            case WM_COMMAND:
                if (id == IDCANCEL) {
                    PressExit();
                    return TRUE;
                }
                if (button >= 0 && button < static_cast<int>(file_.buttons.size()) &&
                    HIWORD(wparam) == BN_CLICKED) {
                    PressCallback(callbacks_,
                                  file_.buttons[static_cast<std::size_t>(button)].callback, PANEL);
                    return TRUE;
                }
                if (HIWORD(wparam) == EN_KILLFOCUS) {
                    if (Field* field = FindField(PANEL, id - kControlIdBase)) {
                        Normalise(*field);
                    }
                }
                return FALSE;
            case WM_NOTIFY: {
                const auto* header = reinterpret_cast<const NMHDR*>(lparam);
                if (header->code != static_cast<UINT>(UDN_DELTAPOS)) {
                    return FALSE;
                }
                const int control = static_cast<int>(header->idFrom) - kArrowsIdBase;
                if (Field* field = FindField(PANEL, control)) {
                    const PanelFileControl& c = *field->control;
                    const double typed =
                        ClockWithinLimits(TextOf(*field), c.value, c.minimum, c.maximum);
                    const int delta = reinterpret_cast<const NMUPDOWN*>(lparam)->iDelta;
                    SetClock(*field, std::clamp(typed + delta * kClockStep, c.minimum, c.maximum));
                }
                // The field holds the value; the up-down control keeps its own.
                SetWindowLongPtrA(dialog_, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            default:
                return FALSE;
        }
    }

    HWND AddChild(const char* window_class, const std::string& text, DWORD style, RECT units,
                  int id) {
        MapDialogRect(dialog_, &units);
        const DWORD extended =
            std::string(window_class) == "EDIT" ? static_cast<DWORD>(WS_EX_CLIENTEDGE) : 0;
        HWND child = CreateWindowExA(
            extended, window_class, ToAnsi(text).c_str(), WS_CHILD | WS_VISIBLE | style, units.left,
            units.top, units.right - units.left, units.bottom - units.top, dialog_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
        const auto font = static_cast<WPARAM>(SendMessageA(dialog_, WM_GETFONT, 0, 0));
        SendMessageA(child, WM_SETFONT, font, FALSE);
        return child;
    }

    void BuildControls() {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        if (HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(kIconId))) {
            SendMessageA(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
            auto small = static_cast<HICON>(
                LoadImageA(instance, MAKEINTRESOURCEA(kIconId), IMAGE_ICON, 16, 16, 0));
            SendMessageA(dialog_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
        }

        for (Field& field : fields_) {
            const PanelFileControl& control = *field.control;
            const int id = kControlIdBase + control.id;
            const int row = field.row;
            if (control.id == PANEL_BANNER) {
                // Above the form, wherever the file lists it.
                field.edit = AddChild(
                    "STATIC", control.text, SS_CENTER | SS_NOPREFIX,
                    {kMargin, kMargin, kDialogWidth - kMargin, kMargin + kBannerHeight}, id);
                LOGFONTA bold{};
                auto font = reinterpret_cast<HFONT>(SendMessageA(dialog_, WM_GETFONT, 0, 0));
                if (font && GetObjectA(font, sizeof bold, &bold) == sizeof bold) {
                    bold.lfWeight = FW_BOLD;
                    bold_font_ = CreateFontIndirectA(&bold);
                    SendMessageA(field.edit, WM_SETFONT, reinterpret_cast<WPARAM>(bold_font_),
                                 FALSE);
                }
                continue;
            }
            if (field.new_section) {
                const int line = row - kSectionGap / 2 - 4;
                AddChild("STATIC", "", SS_ETCHEDHORZ,
                         {kMargin, line, kDialogWidth - kMargin, line + 1}, -1);
            }
            if (control.id == PANEL_STATUS) {
                // One line of text across the panel, as the banner: no label, no field.
                field.edit = AddChild("STATIC", control.text, SS_LEFT | SS_NOPREFIX,
                                      {kMargin, row + 2, kDialogWidth - kMargin, row + 10}, id);
                continue;
            }
            AddChild("STATIC", control.label.empty() ? control.name : control.label + ":",
                     SS_LEFT | SS_NOPREFIX, {kMargin, row + 2, kMargin + kLabelWidth, row + 10},
                     -1);
            const bool editable = field.known->editable;
            DWORD style = ES_AUTOHSCROLL | WS_BORDER;
            style |= editable ? static_cast<DWORD>(WS_TABSTOP) : static_cast<DWORD>(ES_READONLY);
            if (field.known->kind == ControlKind::Double) {
                field.edit = AddChild("EDIT", control.text, style,
                                      {kFieldX, row, kFieldX + kClockWidth, row + kEditHeight}, id);
                HWND arrows =
                    AddChild(UPDOWN_CLASSA, "", UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                             {0, 0, 0, 0}, control.id + kArrowsIdBase);
                SendMessageA(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(field.edit), 0);
                // Never at either end, so both arrows always notify.
                SendMessageA(arrows, UDM_SETRANGE, 0, MAKELPARAM(100, 0));
                SendMessageA(arrows, UDM_SETPOS, 0, MAKELPARAM(50, 0));
                AddChild("STATIC", control.suffix, SS_LEFT | SS_NOPREFIX,
                         {kFieldX + kClockWidth + 2, row + 2, kDialogWidth - kMargin, row + 10},
                         -1);
                SetClock(field, control.value);
            } else {
                field.edit = AddChild("EDIT", control.text, style,
                                      {kFieldX, row, kFieldX + kFieldWidth, row + kEditHeight}, id);
                if (field.known->kind == ControlKind::Integer && editable) {
                    SendMessageA(field.edit, EM_LIMITTEXT, 10, 0);  // "0x" and 8 digits
                }
            }
        }

        const int count = static_cast<int>(file_.buttons.size());
        int x = kDialogWidth - kMargin - count * (kButtonWidth + 4) + 4;
        // Enter presses Apply, wherever the panel file puts it among the buttons.
        int default_id = kButtonIdBase;
        for (int i = 0; i < count; ++i) {
            if (file_.buttons[static_cast<std::size_t>(i)].callback == kApplyCallback) {
                default_id = kButtonIdBase + i;
            }
        }
        for (int i = 0; i < count; ++i) {
            const int id = kButtonIdBase + i;
            const DWORD kind = id == default_id ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
            AddChild("BUTTON", file_.buttons[static_cast<std::size_t>(i)].text, kind | WS_TABSTOP,
                     {x, buttons_bottom_ - kButtonHeight, x + kButtonWidth, buttons_bottom_}, id);
            x += kButtonWidth + 4;
        }
        if (count > 0) {
            SendMessageA(dialog_, DM_SETDEFID, default_id, 0);
        }
    }

    HWND Window(int panel) const { return panel == PANEL ? dialog_ : nullptr; }

    // The field of `control` on `panel` once its window exists, or nullptr.
    Field* FindField(int panel, int control) {
        const auto found = std::find_if(fields_.begin(), fields_.end(), [&](const Field& f) {
            return f.control->id == control && f.edit != nullptr;
        });
        return Window(panel) && found != fields_.end() ? &*found : nullptr;
    }

    static std::string TextOf(const Field& field) {
        const int length = GetWindowTextLengthA(field.edit);
        std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
        const int got = GetWindowTextA(field.edit, text.data(), length + 1);
        text.resize(static_cast<std::size_t>(std::max(got, 0)));
        return text;
    }

    static void SetClock(Field& field, double value) {
        field.control->value = value;
        SetWindowTextA(field.edit, FormatClock(value, field.control->decimals).c_str());
    }

    static void SetInteger(Field& field, std::uint32_t value) {
        field.control->integer = value;
        const std::string text = field.known->editable ? FormatRegister(value) : FormatWord(value);
        SetWindowTextA(field.edit, text.c_str());
    }

    // When a field loses the focus it shows what it will be read as: a clock
    // within the limits, a whole register; text that is neither shows the
    // field's last value again.
    static void Normalise(Field& field) {
        const PanelFileControl& c = *field.control;
        if (field.known->kind == ControlKind::Double) {
            SetClock(field, ClockWithinLimits(TextOf(field), c.value, c.minimum, c.maximum));
        } else if (field.known->kind == ControlKind::Integer && field.known->editable) {
            SetInteger(field, ParseRegister(TextOf(field)).value_or(c.integer));
        }
    }

    int Box(const std::string& title, const std::string& message, UINT type) const {
        HWND owner = dialog_ != nullptr && IsWindowVisible(dialog_) ? dialog_ : nullptr;
        return MessageBoxA(owner, ToAnsi(message).c_str(), ToAnsi(title).c_str(), type);
    }

    bool Refuse(const std::string& why) {
        last_error_ = why;
        return false;
    }

    // Nothing when the control is not of `kind` or does not hold a complete
    // value (see GetCtrlVal).
    template <typename T, typename ReadField>
    bool Read(int panel, int control, T* value, ControlKind kind, ReadField read) {
        if (!Window(panel)) {
            return Refuse("no panel has the handle " + std::to_string(panel));
        }
        const Field* field = FindField(panel, control);
        const std::optional<T> got =
            field && field->known->kind == kind ? read(*field) : std::nullopt;
        if (!got) {
            return Refuse("control " + std::to_string(control) +
                          " does not hold a complete value of that kind");
        }
        *value = *got;
        return true;
    }

    // The close box, Escape and Alt+F4 act like the button that calls Exit.
    void PressExit() {
        if (!PressCallback(callbacks_, kExitCallback, PANEL)) {
            QuitUserInterface(0);
        }
    }

    CallbackTable callbacks_;
    std::string last_error_;
    PanelFile file_;
    std::vector<Field> fields_;  // parallel to file_.controls
    HWND dialog_ = nullptr;
    HFONT bold_font_ = nullptr;
    int buttons_bottom_ = 0;
    bool quit_ = false;
    int code_ = 0;
};

}  // namespace

std::string ToAnsi(const std::string& text) {
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::wstring wide = ascii ? std::wstring() : Widen(text, MB_ERR_INVALID_CHARS);
    if (wide.empty()) {
        return text;
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(std::max(length, 0)), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, ansi.data(), length, nullptr, nullptr);
    return length > 0 ? ansi : text;
}

std::unique_ptr<UiEngine> CreateWin32Engine(const CallbackTable& callbacks) {
    return std::make_unique<Win32Engine>(callbacks);
}

}  // namespace ruvuvuri::ui::win32
