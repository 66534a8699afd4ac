// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/console_spin_box.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace ruvuvuri::ui {

std::string FormatFixed(double value, int decimals) {
    char text[400];
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) {
        return std::to_string(value);
    }
    return std::string(text, end);
}

double RoundTo(double value, int decimals) {
    const std::string text = FormatFixed(value, decimals);
    double rounded = value;
    std::from_chars(text.data(), text.data() + text.size(), rounded);
    return rounded;
}

void RoundLimitsToDecimals(PanelFileControl& control) {
    control.minimum = RoundTo(control.minimum, control.decimals);
    control.maximum = RoundTo(control.maximum, control.decimals);
}

double SpinBoxValue(const PanelFileControl& control, double value) {
    if (std::isnan(value)) {
        return control.minimum;
    }
    return std::clamp(RoundTo(value, control.decimals), control.minimum, control.maximum);
}

double ProgramSetValue(const PanelFileControl& control, double value) {
    return std::isfinite(value) ? RoundTo(value, control.decimals) : SpinBoxValue(control, value);
}

std::string LimitsOf(const PanelFileControl& control) {
    return FormatFixed(control.minimum, control.decimals) + " to " +
           FormatFixed(control.maximum, control.decimals) + control.suffix;
}

}  // namespace ruvuvuri::ui
