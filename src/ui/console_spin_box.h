// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "ui/panel_file.h"

// How the console engine's clock fields behave: as the Qt spin boxes the panel
// file describes, so both engines show and accept the same values.
namespace ruvuvuri::ui {

// Fixed-point text with `decimals` digits, independent of the locale.
std::string FormatFixed(double value, int decimals);

// Rounds to the decimals a spin box shows, the way the spin box does: through
// the decimal text of the exact binary value.
double RoundTo(double value, int decimals);

// A spin box keeps its limits at the decimals it shows.
void RoundLimitsToDecimals(PanelFileControl& control);

// The value a spin box ends up holding when it is given `value`.
double SpinBoxValue(const PanelFileControl& control, double value);

// What a clock field shows when the program sets it: the value at the field's
// decimals, outside the limits too (a PLL the panel would not let the user
// ask for still shows the clock it runs at).
double ProgramSetValue(const PanelFileControl& control, double value);

// "80.000 to 400.000 MHz": the limits as the field shows them.
std::string LimitsOf(const PanelFileControl& control);

}  // namespace ruvuvuri::ui
