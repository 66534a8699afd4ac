// SPDX-License-Identifier: GPL-2.0-or-later
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

// Builds panel `panel_id` from the Qt Designer file `file`. The file is first
// checked by the same reader as every panel engine's (ui/panel_file.h); the Qt
// loader only builds the widgets. Fails (nullptr, the reason and the remedy in
// *error) when the file cannot be read or does not pass that check. Prints
// nothing.
std::unique_ptr<PanelWidgets> BuildPanel(const QString& file, int panel_id,
                                         const CallbackTable& callbacks, std::string* error);

}  // namespace ruvuvuri::ui::qt
