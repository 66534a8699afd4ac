#pragma once

#include <iosfwd>
#include <string>

#include "ui/console_panel.h"

// How the console engine prints a panel: every control with its label and
// value, the edit command and limits beside each editable field, then the
// buttons with the commands that press them.
namespace ruvuvuri::ui {

// The control's label in the panel file, or its name when it has none.
std::string LabelOf(const PanelFileControl& control);

void RenderPanel(std::ostream& out, const ConsolePanel& panel);

}  // namespace ruvuvuri::ui
