#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QString>

#include "ui/ui_engine.h"

class QAbstractButton;
class QWidget;

namespace ruvuvuri::ui::qt {

// A panel as built from the panel file, checked against what the program needs.
struct PanelWidgets {
    std::unique_ptr<QWidget> window;
    std::map<int, QWidget*> controls;  // control ID -> widget, all children of window
    struct Button {
        QAbstractButton* button;
        ControlCallback callback;
    };
    std::vector<Button> buttons;  // every button naming a callback
};

// Builds panel `panel_id` from the Qt Designer file `file`. Fails (nullptr,
// reason in *error) when the file cannot be read, the panel is not in it, a
// control of the panel table is missing or of the wrong widget class, or a
// button names a callback the table lacks. Prints nothing.
std::unique_ptr<PanelWidgets> BuildPanel(const QString& file, int panel_id,
                                         const CallbackTable& callbacks, std::string* error);

}  // namespace ruvuvuri::ui::qt
