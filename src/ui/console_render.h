// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "ui/console_panel.h"

// How the console engine prints a panel: every control with its label and
// value, the edit command and limits beside each editable field, then the
// buttons with the commands that press them.
namespace ruvuvuri::ui {

// The control's label in the panel file, or its name when it has none.
std::string LabelOf(const PanelFileControl& control);
// What the user may type: a clock's limits, a timing's 32-bit range.
std::string RangeOf(const PanelFileControl& control);

// One line per control, parallel to panel.file.controls: label and value,
// and beside an editable field the command that edits it and its range. Empty
// for the banner and for a status line that holds nothing.
std::vector<std::string> RenderRows(const ConsolePanel& panel);

void RenderPanel(std::ostream& out, const ConsolePanel& panel);

}  // namespace ruvuvuri::ui
