// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

namespace ruvuvuri::ui::qt {

// Creating a QApplication on a platform that cannot start (no X server, no
// Wayland compositor) aborts the process inside Qt. This check runs first and
// explains the problem instead; true when Qt's platform is expected to start.
bool DisplayAvailable(std::string* reason);

}  // namespace ruvuvuri::ui::qt
