// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

namespace ruvuvuri::ui {

// Which panel engine shows panels and popups: Default picks Qt when there is a
// display and the Qt module loads, the console otherwise. Its own header, so
// that the options can name the choice without the engine interface.
enum class UiChoice { Default, Console, Qt };

}  // namespace ruvuvuri::ui
