// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <vector>

#include "ui/console_panel.h"

namespace ruvuvuri::ui {

// Runs an edit command (`core 200.5`, `t0 0x22322222`; `words` as typed, the
// command first) on `control`: a clock must be a number within the field's
// limits at its decimals, a timing a hexadecimal number of at most 32 bits.
// Returns why the value was refused, with `value` left as it was, or an empty
// text when `value` now holds the new value.
std::string EditField(const std::vector<std::string>& words, const PanelFileControl& control,
                      ConsoleControlValue& value);

}  // namespace ruvuvuri::ui
