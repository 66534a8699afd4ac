// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <string>

#include "ui/ui_engine.h"

namespace ruvuvuri::ui::qt {

// Creating a QApplication on a platform that cannot start (no X server, no
// Wayland compositor) aborts the process inside Qt. This check runs first and
// explains the problem instead; true when Qt's platform is expected to start.
bool DisplayAvailable(std::string* reason);

// The panel engine on Qt Widgets: the panel comes from its Qt Designer file
// (the top-level widget PANEL), buttons call the program's named callbacks,
// popups are message boxes. It only shows and edits values; what a button does
// is up to the callbacks. Read-only fields look so and stay out of the Tab
// order; each editable field names its range in a tooltip, takes whatever the
// user types and shows in red a value it cannot hand to Apply, which then
// refuses it. The countdown question (TimedConfirmPopup) has Keep and Revert,
// Revert the default. Uses the process's QApplication, or starts one; nullptr
// with the reason when none can be made (no display).
std::unique_ptr<UiEngine> CreateQtEngine(const CallbackTable& callbacks, std::string* error);

}  // namespace ruvuvuri::ui::qt
