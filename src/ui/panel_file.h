#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ui/panel_ids.h"

namespace ruvuvuri::ui {

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
    std::string text;  // the text the file gives a QLabel or QLineEdit
    bool read_only = false;
    // Spin box settings; a property the file leaves out keeps Qt's default.
    double minimum = 0.0;
    double maximum = 99.99;
    double value = 0.0;
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
    std::vector<PanelFileControl> controls;  // in the order of kPanelControls
    std::vector<PanelFileButton> buttons;    // in the order of the file

    const PanelFileControl* FindControl(int id) const;
    const PanelFileButton* FindButtonByCallback(std::string_view callback) const;
};

// The Qt widget class a control must have: a spin box for the clocks, a label
// for the banner, a line edit for everything else.
const char* ExpectedWidgetClass(const PanelControl& control);

// Reads the top-level widget `PANEL` of panel file text; `name` is what
// messages call the file. Throws PanelFileError.
PanelFile ParsePanelFile(std::string_view xml, const std::string& name);
// Reads the panel file at `path`. Throws PanelFileError.
PanelFile ReadPanelFile(const std::filesystem::path& path);

}  // namespace ruvuvuri::ui
