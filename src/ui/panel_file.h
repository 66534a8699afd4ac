// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/ui_engine.h"

namespace ruvuvuri::ui {

// The panel's controls; the panel file names each with the name of its
// constant (Qt objectName).
enum class ControlKind { Text, Integer, Double };

struct PanelControl {
    int id;
    const char* name;
    ControlKind kind;
    bool editable;
    const char* widget_class;  // the Qt widget class it must have
    // A panel file may leave it out; the panel then does without it.
    bool optional = false;
};

inline constexpr PanelControl kPanelControls[] = {
    {PANEL_BIOSVER, "PANEL_BIOSVER", ControlKind::Text, false, "QLineEdit"},
    {PANEL_BIOSTEXT, "PANEL_BIOSTEXT", ControlKind::Text, false, "QLineEdit"},
    {PANEL_ROMWORD_54, "PANEL_ROMWORD_54", ControlKind::Integer, false, "QLineEdit"},
    {PANEL_ROMWORD_56, "PANEL_ROMWORD_56", ControlKind::Integer, false, "QLineEdit"},
    {PANEL_DEVICEID, "PANEL_DEVICEID", ControlKind::Integer, false, "QLineEdit"},
    {PANEL_CORECLK, "PANEL_CORECLK", ControlKind::Double, true, "QDoubleSpinBox"},
    {PANEL_MEMCLK, "PANEL_MEMCLK", ControlKind::Double, true, "QDoubleSpinBox"},
    {PANEL_TIMING0, "PANEL_TIMING0", ControlKind::Integer, true, "QLineEdit"},
    {PANEL_TIMING1, "PANEL_TIMING1", ControlKind::Integer, true, "QLineEdit"},
    {PANEL_TIMING2, "PANEL_TIMING2", ControlKind::Integer, true, "QLineEdit"},
    {PANEL_BANNER, "PANEL_BANNER", ControlKind::Text, false, "QLabel"},
    {PANEL_STATUS, "PANEL_STATUS", ControlKind::Text, false, "QLabel", true},
};

// The callbacks of the apply and exit buttons, which every panel must have.
inline constexpr const char* kApplyCallback = "SetNewClocks";
inline constexpr const char* kExitCallback = "Exit";
// The callback of the preview button, which a panel file may leave out (files
// from before it load as they did).
inline constexpr const char* kPreviewCallback = "Preview";
inline constexpr const char* kRestoreCallback = "Restore";

// The panel file (Qt Designer XML) cannot be used. The message names the file
// and the cause: unreadable, not XML, or a control missing or of the wrong kind.
class PanelFileError : public std::runtime_error {
  public:
    explicit PanelFileError(const std::string& message) : std::runtime_error(message) {}
};

// One control of kPanelControls as the panel file describes it, holding the
// value an engine shows in it now.
struct PanelFileControl {
    int id = 0;
    std::string name;  // objectName, the name of the control's constant
    ControlKind kind = ControlKind::Text;
    bool editable = false;     // by the user, as kPanelControls says
    std::string widget_class;  // as kPanelControls says
    // The text of the QLabel whose buddy is this control, without '&'
    // accelerators and a trailing ':'; empty when the file gives it no label.
    std::string label;
    // The text the file gives a QLabel or QLineEdit, and the spin box value;
    // then the values the program set.
    std::string text;
    double value = 0.0;
    std::uint32_t integer = 0;
    bool read_only = false;
    // Spin box settings; a property the file leaves out keeps Qt's default.
    // The limits and the value are kept as a spin box keeps them: at its
    // decimals, the value within the limits.
    double minimum = 0.0;
    double maximum = 99.99;
    int decimals = 2;
    std::string suffix;
    StepRule step;  // where the arrows go; empty for a fixed step
};

// What a control shows for the value it holds: its text, a word or a whole
// register in hex, a clock at its decimals without the suffix.
std::string ShownText(const PanelFileControl& control);

// A push button and the name of the callback it calls (its dynamic string
// property `callback`; empty when it has none).
struct PanelFileButton {
    std::string name;
    std::string text;  // without '&' accelerators
    std::string callback;
};

// What a panel engine needs to know of the panel file.
struct PanelFile {
    std::string title;
    std::vector<PanelFileControl> controls;  // in the order of kPanelControls; an
                                             // optional control the file lacks is left out
    std::vector<PanelFileButton> buttons;    // in the order of the file
    std::string xml;                         // the file as read, for the Qt loader

    const PanelFileControl* FindControl(int id) const;
    PanelFileControl* FindControl(int id) {
        return const_cast<PanelFileControl*>(std::as_const(*this).FindControl(id));
    }
    const PanelFileButton* FindButtonByCallback(std::string_view callback) const;
};

// Reads the top-level widget `PANEL` of panel file text; `name` is what
// messages call the file. Throws PanelFileError.
PanelFile ParsePanelFile(std::string_view xml, const std::string& name);
// Reads the panel file at `path`. Throws PanelFileError.
PanelFile ReadPanelFile(const std::filesystem::path& path);

// The platform's part of ReadPanelFile (panel_file_read*.cpp), which words
// the failures alike everywhere.
struct PanelFileBytes {
    enum Outcome { Read, Folder, CannotOpen, CannotRead } outcome;
    std::string text;  // the file's bytes; for CannotOpen, the cause
};
PanelFileBytes ReadPanelFileBytes(const std::filesystem::path& path);

// Reads panel `panel_id` of the panel file at `path` and checks it against the
// program, for every panel engine alike: a top-level panel that exists, every
// control there with its widget class, every button's callback in
// `callbacks`, and buttons that call kApplyCallback and kExitCallback. Throws
// PanelFileError with a message that names the file, the cause and the remedy.
PanelFile LoadPanelFile(const std::filesystem::path& path, int parent, int panel_id,
                        const CallbackTable& callbacks);

// What the panel engines share: the checked panel file, whose controls hold
// the values set (a clock at its field's decimals, also outside the limits: a
// PLL the panel would not let the user ask for still shows its clock), and
// the look-up of a control by handle, ID and kind. An engine shows a value in
// Show, and reads what the user typed in its own GetCtrlVal.
class PanelFileEngine : public UiEngine {
  public:
    void SetCtrlVal(int panel, int control, const std::string& value) override;
    void SetCtrlVal(int panel, int control, double value) override;
    void SetCtrlVal(int panel, int control, std::uint32_t value) override;
    bool GetCtrlVal(int panel, int control, double* value) override;
    bool GetCtrlVal(int panel, int control, std::uint32_t* value) override;
    bool GetCtrlLimits(int panel, int control, double* minimum, double* maximum) override;
    bool SetCtrlStepRule(int panel, int control, StepRule rule) override;
    const std::string& last_error() const override { return last_error_; }

  protected:
    explicit PanelFileEngine(CallbackTable callbacks) : callbacks_(std::move(callbacks)) {}

    // These fail with last_error set: a file LoadPanelFile refuses (leaving
    // no panel), a handle other than the panel's, a control that does not
    // exist or takes another kind of value.
    bool ReadPanel(int parent, const std::string& file, int panel_id);
    bool Loaded(int panel);
    PanelFileControl* Field(int panel, int control, ControlKind kind);
    // Shows the value `control` now holds; the engine may keep there what its
    // widget made of it.
    virtual void Show(PanelFileControl& /*control*/) {}
    // Calls the callback `name` as a press of its button does (the commit
    // event); false when the table has no such callback.
    bool Press(std::string_view name);
    // *value = *got, or false with last_error `refusal`.
    template <typename T>
    bool Give(const std::optional<T>& got, T* value, const std::string& refusal) {
        if (!got) {
            last_error_ = refusal;
            return false;
        }
        *value = *got;
        return true;
    }

    CallbackTable callbacks_;
    std::optional<PanelFile> panel_;
    std::string last_error_;
};

}  // namespace ruvuvuri::ui
