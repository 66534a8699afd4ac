// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/win32/panel_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "ui/field_text.h"
#include "ui/win32/ansi_text.h"
#include "ui/win32/win32_engine.h"

namespace ruvuvuri::ui::win32 {
namespace {

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

// A string of a dialog template: UTF-16 with its terminating zero.
void AppendWide(std::vector<WORD>& words, const std::string& utf8) {
    const std::wstring wide = Widen(utf8, 0);
    words.insert(words.end(), wide.begin(), wide.end());
    words.push_back(0);
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
    AppendWide(words, title);
    words.push_back(8);  // point size
    AppendWide(words, "MS Shell Dlg");
    return words;
}

}  // namespace

PanelWindow::PanelWindow(PanelFile file, ButtonHandler on_button, CloseHandler on_close)
    : file_(std::move(file)), on_button_(std::move(on_button)), on_close_(std::move(on_close)) {
    // One row per control below the banner; the read-only card facts, the
    // clocks and the timings each get a section of their own.
    int y = kMargin + kBannerHeight;
    const Field* previous = nullptr;
    fields_.reserve(file_.controls.size());
    for (const PanelFileControl& control : file_.controls) {
        const PanelControl* known = FindPanelControl(control.id);
        Field& field = fields_.emplace_back(Field{.control = &control,
                                                  .kind = known ? known->kind : ControlKind::Text,
                                                  .editable = known && known->editable,
                                                  .clock = control.value});
        if (control.id == PANEL_BANNER) {
            continue;
        }
        field.new_section = previous && (field.editable != previous->editable ||
                                         (field.editable && field.kind != previous->kind));
        field.row = y + (field.new_section ? kSectionGap : 0);
        y = field.row + kRowPitch;
        previous = &field;
    }
    buttons_bottom_ = y + kSectionGap + kButtonHeight;
}

PanelWindow::~PanelWindow() {
    if (dialog_ != nullptr) {
        DestroyWindow(dialog_);
    }
    if (bold_font_ != nullptr) {
        DeleteObject(bold_font_);
    }
}

bool PanelWindow::Create(std::string* error) {
    const std::vector<WORD> words =
        DialogTemplate(file_.title, kDialogWidth, buttons_bottom_ + kMargin);
    dialog_ = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                         reinterpret_cast<LPCDLGTEMPLATEA>(words.data()), nullptr,
                                         DialogProc, reinterpret_cast<LPARAM>(this));
    if (dialog_ == nullptr) {
        *error = "cannot create the panel window (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}

INT_PTR CALLBACK PanelWindow::DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, GWLP_USERDATA, static_cast<LONG_PTR>(lparam));
        reinterpret_cast<PanelWindow*>(lparam)->dialog_ = dialog;
    }
    auto* self = reinterpret_cast<PanelWindow*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    return self ? self->Handle(message, wparam, lparam) : FALSE;
}

INT_PTR PanelWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            BuildControls();
            return TRUE;  // focus on the first field
        case WM_CLOSE:
            on_close_();
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wparam);
            const int code = HIWORD(wparam);
            if (id == IDCANCEL) {
                on_close_();
                return TRUE;
            }
            const int button = id - kButtonIdBase;
            if (button >= 0 && button < static_cast<int>(file_.buttons.size()) &&
                code == BN_CLICKED) {
                on_button_(file_.buttons[static_cast<std::size_t>(button)].callback);
                return TRUE;
            }
            if (code == EN_KILLFOCUS) {
                if (Field* field = FindField(id - kControlIdBase)) {
                    Normalise(*field);
                }
            }
            return FALSE;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header->code == static_cast<UINT>(UDN_DELTAPOS)) {
                const auto* change = reinterpret_cast<const NMUPDOWN*>(lparam);
                if (Field* field = FindField(static_cast<int>(header->idFrom) - kArrowsIdBase)) {
                    StepClock(*field, change->iDelta);
                }
                // The field holds the value; the up-down control keeps its own.
                SetWindowLongPtrA(dialog_, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

HWND PanelWindow::AddChild(const char* window_class, const std::string& text, DWORD style,
                           RECT units, int id) {
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

void PanelWindow::BuildControls() {
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
            field.edit =
                AddChild("STATIC", control.text, SS_CENTER | SS_NOPREFIX,
                         {kMargin, kMargin, kDialogWidth - kMargin, kMargin + kBannerHeight}, id);
            LOGFONTA bold{};
            auto font = reinterpret_cast<HFONT>(SendMessageA(dialog_, WM_GETFONT, 0, 0));
            if (font && GetObjectA(font, sizeof bold, &bold) == sizeof bold) {
                bold.lfWeight = FW_BOLD;
                bold_font_ = CreateFontIndirectA(&bold);
                SendMessageA(field.edit, WM_SETFONT, reinterpret_cast<WPARAM>(bold_font_), FALSE);
            }
            continue;
        }
        if (field.new_section) {
            const int line = row - kSectionGap / 2 - 4;
            AddChild("STATIC", "", SS_ETCHEDHORZ, {kMargin, line, kDialogWidth - kMargin, line + 1},
                     -1);
        }
        if (control.id == PANEL_STATUS) {
            // One line of text across the panel, as the banner: no label, no field.
            field.edit = AddChild("STATIC", control.text, SS_LEFT | SS_NOPREFIX,
                                  {kMargin, row + 2, kDialogWidth - kMargin, row + 10}, id);
            continue;
        }
        AddChild("STATIC", control.label.empty() ? control.name : control.label + ":",
                 SS_LEFT | SS_NOPREFIX, {kMargin, row + 2, kMargin + kLabelWidth, row + 10}, -1);
        DWORD style = ES_AUTOHSCROLL | WS_BORDER;
        style |= field.editable ? static_cast<DWORD>(WS_TABSTOP) : static_cast<DWORD>(ES_READONLY);
        if (field.kind == ControlKind::Double) {
            field.edit = AddChild("EDIT", control.text, style,
                                  {kFieldX, row, kFieldX + kClockWidth, row + kEditHeight}, id);
            HWND arrows =
                AddChild(UPDOWN_CLASSA, "", UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                         {0, 0, 0, 0}, id + kArrowsIdBase - kControlIdBase);
            SendMessageA(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(field.edit), 0);
            // Never at either end, so both arrows always notify.
            SendMessageA(arrows, UDM_SETRANGE, 0, MAKELPARAM(100, 0));
            SendMessageA(arrows, UDM_SETPOS, 0, MAKELPARAM(50, 0));
            AddChild("STATIC", control.suffix, SS_LEFT | SS_NOPREFIX,
                     {kFieldX + kClockWidth + 2, row + 2, kDialogWidth - kMargin, row + 10}, -1);
            SetClock(control.id, control.value);
        } else {
            field.edit = AddChild("EDIT", control.text, style,
                                  {kFieldX, row, kFieldX + kFieldWidth, row + kEditHeight}, id);
            if (field.kind == ControlKind::Integer && field.editable) {
                SendMessageA(field.edit, EM_LIMITTEXT, 10, 0);  // "0x" and 8 digits
            }
        }
    }

    int x =
        kDialogWidth - kMargin - static_cast<int>(file_.buttons.size()) * (kButtonWidth + 4) + 4;
    // Enter presses Apply, wherever the panel file puts it among the buttons.
    int default_id = kButtonIdBase;
    for (std::size_t i = 0; i < file_.buttons.size(); ++i) {
        if (file_.buttons[i].callback == kApplyCallback) {
            default_id = kButtonIdBase + static_cast<int>(i);
        }
    }
    for (std::size_t i = 0; i < file_.buttons.size(); ++i) {
        const int id = kButtonIdBase + static_cast<int>(i);
        const DWORD kind = id == default_id ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        AddChild("BUTTON", file_.buttons[i].text, kind | WS_TABSTOP,
                 {x, buttons_bottom_ - kButtonHeight, x + kButtonWidth, buttons_bottom_}, id);
        x += kButtonWidth + 4;
    }
    if (!file_.buttons.empty()) {
        SendMessageA(dialog_, DM_SETDEFID, default_id, 0);
    }
}

PanelWindow::Field* PanelWindow::FindField(int control) {
    const auto found = std::find_if(fields_.begin(), fields_.end(),
                                    [control](const Field& f) { return f.control->id == control; });
    return found != fields_.end() ? &*found : nullptr;
}

const PanelWindow::Field* PanelWindow::FindField(int control) const {
    return const_cast<PanelWindow*>(this)->FindField(control);
}

void PanelWindow::SetText(int control, const std::string& value) {
    if (Field* field = FindField(control); field && field->edit) {
        SetWindowTextA(field->edit, ToAnsi(value).c_str());
    }
}

void PanelWindow::SetClock(int control, double value) {
    if (Field* field = FindField(control); field && field->edit) {
        field->clock = value;
        SetWindowTextA(field->edit, FormatClock(value, field->control->decimals).c_str());
    }
}

void PanelWindow::SetInteger(int control, std::uint32_t value) {
    if (Field* field = FindField(control); field && field->edit) {
        field->integer = value;
        const std::string text = field->editable ? FormatRegister(value) : FormatWord(value);
        SetWindowTextA(field->edit, text.c_str());
    }
}

std::string PanelWindow::GetText(int control) const {
    const Field* field = FindField(control);
    if (!field || !field->edit) {
        return {};
    }
    const int length = GetWindowTextLengthA(field->edit);
    std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    const int got = GetWindowTextA(field->edit, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

// What the field shows, read strictly: the value the program set (even
// outside the limits), or a complete value the user typed within them;
// nothing otherwise, so the panel never writes what the field does not show.
std::optional<double> PanelWindow::GetClock(int control) const {
    const Field* field = FindField(control);
    if (!field || field->kind != ControlKind::Double) {
        return std::nullopt;
    }
    const std::string text = GetText(control);
    if (text == FormatClock(field->clock, field->control->decimals)) {
        return field->clock;
    }
    const std::optional<double> typed = ParseClock(text);
    if (!typed || *typed < field->control->minimum || *typed > field->control->maximum) {
        return std::nullopt;
    }
    return typed;
}

std::optional<std::uint32_t> PanelWindow::GetInteger(int control) const {
    const Field* field = FindField(control);
    if (!field || field->kind != ControlKind::Integer) {
        return std::nullopt;
    }
    if (!field->editable) {
        return field->integer;
    }
    return ParseRegister(GetText(control));
}

// When a field loses the focus it shows what it will be read as: a clock
// within the limits, a whole register; text that is neither shows the
// field's last value again.
void PanelWindow::Normalise(Field& field) {
    const std::string text = GetText(field.control->id);
    if (field.kind == ControlKind::Double) {
        SetClock(field.control->id, ClockWithinLimits(text, field.clock, field.control->minimum,
                                                      field.control->maximum));
    } else if (field.kind == ControlKind::Integer && field.editable) {
        SetInteger(field.control->id, ParseRegister(text).value_or(field.integer));
    }
}

void PanelWindow::StepClock(Field& field, int delta) {
    const PanelFileControl& control = *field.control;
    const double typed =
        ClockWithinLimits(GetText(control.id), field.clock, control.minimum, control.maximum);
    SetClock(control.id, std::clamp(typed + delta * kClockStep, control.minimum, control.maximum));
}

}  // namespace ruvuvuri::ui::win32
