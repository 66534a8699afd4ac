// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/ui_engine.h"

namespace ruvuvuri::ui {

enum class ControlKind { Text, Integer, Double };

struct PanelControl {
    int id;
    const char* name;
    ControlKind kind;
    bool editable;
    // A panel file may leave it out; the panel then does without it.
    bool optional = false;
};

inline constexpr PanelControl kPanelControls[] = {
    {PANEL_BIOSVER, "PANEL_BIOSVER", ControlKind::Text, false},
    {PANEL_BIOSTEXT, "PANEL_BIOSTEXT", ControlKind::Text, false},
    {PANEL_ROMWORD_54, "PANEL_ROMWORD_54", ControlKind::Integer, false},
    {PANEL_ROMWORD_56, "PANEL_ROMWORD_56", ControlKind::Integer, false},
    {PANEL_DEVICEID, "PANEL_DEVICEID", ControlKind::Integer, false},
    {PANEL_CORECLK, "PANEL_CORECLK", ControlKind::Double, true},
    {PANEL_MEMCLK, "PANEL_MEMCLK", ControlKind::Double, true},
    {PANEL_TIMING0, "PANEL_TIMING0", ControlKind::Integer, true},
    {PANEL_TIMING1, "PANEL_TIMING1", ControlKind::Integer, true},
    {PANEL_TIMING2, "PANEL_TIMING2", ControlKind::Integer, true},
    {PANEL_BANNER, "PANEL_BANNER", ControlKind::Text, false},
    {PANEL_STATUS, "PANEL_STATUS", ControlKind::Text, false, true},
};

// The callbacks of the apply and exit buttons, which every panel must have.
inline constexpr const char* kApplyCallback = "SetNewClocks";
inline constexpr const char* kExitCallback = "Exit";
// The callback of the preview button, which a panel file may leave out (files
// from before it load as they did).
inline constexpr const char* kPreviewCallback = "Preview";

// The panel file (Qt Designer XML) cannot be used. The message names the file
// and the cause: unreadable, not XML, or a control missing or of the wrong kind.
class PanelFileError : public std::runtime_error {
  public:
    explicit PanelFileError(const std::string& message) : std::runtime_error(message) {}
};

// One control of kPanelControls as the panel file describes it.
struct PanelFileControl {
    int id = 0;
    std::string name;          // objectName, the name of the control's constant
    std::string widget_class;  // QLabel, QLineEdit or QDoubleSpinBox
    // The text of the QLabel whose buddy is this control, without '&'
    // accelerators and a trailing ':'; empty when the file gives it no label.
    std::string label;
    // The text the file gives a QLabel or QLineEdit, and the spin box value.
    // An engine without a toolkit keeps what the control shows now in these
    // and in `integer`.
    std::string text;
    double value = 0.0;
    std::uint32_t integer = 0;
    bool read_only = false;
    // Spin box settings; a property the file leaves out keeps Qt's default.
    double minimum = 0.0;
    double maximum = 99.99;
    int decimals = 2;
    std::string suffix;
};

// A push button and the name of the callback it calls (its dynamic string
// property `callback`; empty when it has none).
struct PanelFileButton {
    std::string name;
    std::string text;  // without '&' accelerators
    std::string callback;
};

// What a panel engine without a toolkit needs to know of the panel file.
struct PanelFile {
    std::string title;
    std::vector<PanelFileControl> controls;  // in the order of kPanelControls; an
                                             // optional control the file lacks is left out
    std::vector<PanelFileButton> buttons;    // in the order of the file

    const PanelFileControl* FindControl(int id) const;
    PanelFileControl* FindControl(int id) {
        return const_cast<PanelFileControl*>(std::as_const(*this).FindControl(id));
    }
    const PanelFileButton* FindButtonByCallback(std::string_view callback) const;
};

// nullptr when kPanelControls has no such control.
const PanelControl* FindPanelControl(int id);
// Calls the callback `name` as a press of its button on `panel` does (the
// commit event); false when the table has no such callback.
bool PressCallback(const CallbackTable& callbacks, std::string_view name, int panel);

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
// program, for every panel engine alike: the panel exists, every control is
// there with its widget class, every button's callback is in `callbacks`, and
// buttons call kApplyCallback and kExitCallback. Throws PanelFileError with a
// message that names the file, the cause and the remedy.
PanelFile LoadPanelFile(const std::filesystem::path& path, int panel_id,
                        const CallbackTable& callbacks);

}  // namespace ruvuvuri::ui
