// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <utility>

#include "ui/panel_file.h"

class QDoubleSpinBox;
class QWidget;

// How the panel's fields behave beyond what the panel file says: read-only
// fields look read-only and stay out of the Tab order; each editable field
// names its range in a tooltip, takes whatever the user types and shows in
// red a value it cannot hand to Apply, which then refuses it with a message.
namespace ruvuvuri::ui::qt {

// Sets up every control of `layout`; `controls` maps control IDs to widgets.
void PrepareFields(const std::map<int, QWidget*>& controls, const PanelFile& layout);

// The limits the panel file gives a clock field. The spin box itself takes a
// wider range, so that no keystroke is dropped, and they are kept beside it.
std::pair<double, double> ClockFieldLimits(const QDoubleSpinBox& spin);

// Shows `value` in a clock field as the program sets it: at the field's
// decimals, also outside its limits (a PLL left so by another tool).
void SetProgramClock(QDoubleSpinBox& spin, double value);

// The value the clock field's text makes when Apply may take it: a number
// within the file's limits, or the program-set clock still untouched.
std::optional<double> AcceptedClock(const QDoubleSpinBox& spin);

}  // namespace ruvuvuri::ui::qt
