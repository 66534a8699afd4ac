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
// buttons, in the file's order), Enter (the button that calls Apply, which
// every panel file has) and Escape. The file's controls hold the last value
// of every field, so that text a user left unreadable falls back to it.
class Win32Engine final : public PanelFileEngine {
  public:
    explicit Win32Engine(const CallbackTable& callbacks) : PanelFileEngine(callbacks) {
        InitCommonControls();
    }
    ~Win32Engine() override { Close(); }

    int LoadPanel(int parent, const std::string& file, int panel_id) override {
        Close();
        if (!ReadPanel(parent, file, panel_id) || !Create()) {
            panel_.reset();
            // The program ends with -1 after this; say why first.
            MessageBoxA(nullptr, ToAnsi(last_error_).c_str(), kTitle, MB_OK | MB_ICONERROR);
            return -1;
        }
        return PANEL;
    }

    void DisplayPanel(int panel) override {
        if (Loaded(panel)) {
            ShowWindow(dialog_, SW_SHOWNORMAL);
            SetForegroundWindow(dialog_);
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

    // The value the program set (even outside the limits), or a complete
    // value the user typed within them; nothing otherwise, so the panel never
    // writes what the field does not show.
    bool GetCtrlVal(int panel, int control, double* value) override {
        const PanelFileControl* c = Field(panel, control, ControlKind::Double);
        if (c == nullptr) {
            return false;
        }
        const std::string text = TextOf(*c);
        const std::optional<double> typed = ParseClock(text);
        if (text == ShownText(*c)) {
            return Give(std::optional(c->value), value, {});
        }
        const bool within = typed && *typed >= c->minimum && *typed <= c->maximum;
        return Give(within ? typed : std::nullopt, value, Incomplete(control));
    }
    bool GetCtrlVal(int panel, int control, std::uint32_t* value) override {
        const PanelFileControl* c = Field(panel, control, ControlKind::Integer);
        return c != nullptr &&
               Give(c->editable ? ParseRegister(TextOf(*c)) : std::optional(c->integer), value,
                    Incomplete(control));
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

  private:
    struct Row {
        int top = 0;  // in dialog units
        bool new_section = false;
        HWND window = nullptr;  // the control's field or text
    };

    // Creates the dialog, hidden; false with the system's reason on failure.
    // One row per control below the banner; the read-only card facts, the
    // clocks and the timings each get a section of their own.
    bool Create() {
        int y = kMargin + kBannerHeight;
        const PanelFileControl* previous = nullptr;
        for (const PanelFileControl& control : panel_->controls) {
            Row& row = rows_.emplace_back();
            if (control.id == PANEL_BANNER) {
                continue;
            }
            row.new_section = previous && (control.editable != previous->editable ||
                                           (control.editable && control.kind != previous->kind));
            row.top = y + (row.new_section ? kSectionGap : 0);
            y = row.top + kRowPitch;
            previous = &control;
        }
        buttons_bottom_ = y + kSectionGap + kButtonHeight;
        const std::vector<WORD> words =
            DialogTemplate(panel_->title, kDialogWidth, buttons_bottom_ + kMargin);
        dialog_ = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEA>(words.data()),
                                             nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
        if (dialog_ == nullptr) {
            last_error_ =
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
        rows_.clear();
    }

    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrA(dialog, GWLP_USERDATA, static_cast<LONG_PTR>(lparam));
            reinterpret_cast<Win32Engine*>(lparam)->dialog_ = dialog;
        }
        auto* self = reinterpret_cast<Win32Engine*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
        return self && self->panel_ ? self->Handle(message, wparam, lparam) : FALSE;
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
                if (button >= 0 && button < static_cast<int>(panel_->buttons.size()) &&
                    HIWORD(wparam) == BN_CLICKED) {
                    Press(panel_->buttons[static_cast<std::size_t>(button)].callback);
                    return TRUE;
                }
                if (HIWORD(wparam) == EN_KILLFOCUS) {
                    if (PanelFileControl* control = panel_->FindControl(id - kControlIdBase)) {
                        Normalise(*control);
                    }
                }
                return FALSE;
            case WM_NOTIFY: {
                const auto* header = reinterpret_cast<const NMHDR*>(lparam);
                if (header->code != static_cast<UINT>(UDN_DELTAPOS)) {
                    return FALSE;
                }
                const int arrows = static_cast<int>(header->idFrom);
                if (PanelFileControl* c = panel_->FindControl(arrows - kArrowsIdBase)) {
                    const double typed =
                        ClockWithinLimits(TextOf(*c), c->value, c->minimum, c->maximum);
                    const int delta = reinterpret_cast<const NMUPDOWN*>(lparam)->iDelta;
                    const double stepped = !c->step     ? typed + delta * kClockStep
                                           : delta == 0 ? typed
                                                        : c->step(typed, delta > 0 ? 1 : -1);
                    c->value = std::clamp(stepped, c->minimum, c->maximum);
                    Show(*c);
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

        for (std::size_t i = 0; i < rows_.size(); ++i) {
            const PanelFileControl& control = panel_->controls[i];
            const int id = kControlIdBase + control.id;
            const int row = rows_[i].top;
            HWND& window = rows_[i].window;
            if (control.id == PANEL_BANNER) {
                // Above the form, wherever the file lists it.
                window = AddChild(
                    "STATIC", control.text, SS_CENTER | SS_NOPREFIX,
                    {kMargin, kMargin, kDialogWidth - kMargin, kMargin + kBannerHeight}, id);
                LOGFONTA bold{};
                auto font = reinterpret_cast<HFONT>(SendMessageA(dialog_, WM_GETFONT, 0, 0));
                if (font && GetObjectA(font, sizeof bold, &bold) == sizeof bold) {
                    bold.lfWeight = FW_BOLD;
                    bold_font_ = CreateFontIndirectA(&bold);
                    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(bold_font_), FALSE);
                }
                continue;
            }
            if (rows_[i].new_section) {
                const int line = row - kSectionGap / 2 - 4;
                AddChild("STATIC", "", SS_ETCHEDHORZ,
                         {kMargin, line, kDialogWidth - kMargin, line + 1}, -1);
            }
            if (control.id == PANEL_STATUS) {
                // One line of text across the panel, as the banner: no label, no field.
                window = AddChild("STATIC", control.text, SS_LEFT | SS_NOPREFIX,
                                  {kMargin, row + 2, kDialogWidth - kMargin, row + 10}, id);
                continue;
            }
            AddChild("STATIC", control.label.empty() ? control.name : control.label + ":",
                     SS_LEFT | SS_NOPREFIX, {kMargin, row + 2, kMargin + kLabelWidth, row + 10},
                     -1);
            DWORD style = ES_AUTOHSCROLL | WS_BORDER;
            style |=
                control.editable ? static_cast<DWORD>(WS_TABSTOP) : static_cast<DWORD>(ES_READONLY);
            const bool clock = control.kind == ControlKind::Double;
            const int right = kFieldX + (clock ? kClockWidth : kFieldWidth);
            window = AddChild("EDIT", clock ? ShownText(control) : control.text, style,
                              {kFieldX, row, right, row + kEditHeight}, id);
            if (control.kind == ControlKind::Integer && control.editable) {
                SendMessageA(window, EM_LIMITTEXT, 10, 0);  // "0x" and 8 digits
            }
            if (clock) {
                HWND arrows =
                    AddChild(UPDOWN_CLASSA, "", UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                             {0, 0, 0, 0}, control.id + kArrowsIdBase);
                SendMessageA(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(window), 0);
                // Never at either end, so both arrows always notify.
                SendMessageA(arrows, UDM_SETRANGE, 0, MAKELPARAM(100, 0));
                SendMessageA(arrows, UDM_SETPOS, 0, MAKELPARAM(50, 0));
                AddChild("STATIC", control.suffix, SS_LEFT | SS_NOPREFIX,
                         {right + 2, row + 2, kDialogWidth - kMargin, row + 10}, -1);
            }
        }

        const int count = static_cast<int>(panel_->buttons.size());
        int x = kDialogWidth - kMargin - count * (kButtonWidth + 4) + 4;
        // Enter presses Apply, wherever the panel file puts it among the buttons.
        int default_id = kButtonIdBase;
        for (int i = 0; i < count; ++i) {
            if (panel_->buttons[static_cast<std::size_t>(i)].callback == kApplyCallback) {
                default_id = kButtonIdBase + i;
            }
        }
        for (int i = 0; i < count; ++i) {
            const int id = kButtonIdBase + i;
            const DWORD kind = id == default_id ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
            AddChild("BUTTON", panel_->buttons[static_cast<std::size_t>(i)].text, kind | WS_TABSTOP,
                     {x, buttons_bottom_ - kButtonHeight, x + kButtonWidth, buttons_bottom_}, id);
            x += kButtonWidth + 4;
        }
        SendMessageA(dialog_, DM_SETDEFID, default_id, 0);
    }

    HWND WindowOf(const PanelFileControl& control) const {
        return rows_[static_cast<std::size_t>(&control - panel_->controls.data())].window;
    }

    void Show(PanelFileControl& control) override {
        SetWindowTextA(WindowOf(control), ToAnsi(ShownText(control)).c_str());
    }

    std::string TextOf(const PanelFileControl& control) const {
        HWND edit = WindowOf(control);
        const int length = GetWindowTextLengthA(edit);
        std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
        const int got = GetWindowTextA(edit, text.data(), length + 1);
        text.resize(static_cast<std::size_t>(std::max(got, 0)));
        return text;
    }

    // When a field loses the focus it shows what it will be read as: a clock
    // within the limits, a whole register; text that is neither shows the
    // field's last value again.
    void Normalise(PanelFileControl& c) {
        if (c.kind == ControlKind::Double) {
            c.value = ClockWithinLimits(TextOf(c), c.value, c.minimum, c.maximum);
        } else if (c.kind == ControlKind::Integer && c.editable) {
            c.integer = ParseRegister(TextOf(c)).value_or(c.integer);
        } else {
            return;
        }
        Show(c);
    }

    static std::string Incomplete(int control) {
        return "control " + std::to_string(control) + " does not hold a complete value";
    }

    int Box(const std::string& title, const std::string& message, UINT type) const {
        HWND owner = dialog_ != nullptr && IsWindowVisible(dialog_) ? dialog_ : nullptr;
        return MessageBoxA(owner, ToAnsi(message).c_str(), ToAnsi(title).c_str(), type);
    }

    // The close box, Escape and Alt+F4 act like the button that calls Exit.
    void PressExit() {
        if (!Press(kExitCallback)) {
            QuitUserInterface(0);
        }
    }

    std::vector<Row> rows_;  // parallel to panel_->controls
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
