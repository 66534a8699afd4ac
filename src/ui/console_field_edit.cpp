// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/console_field_edit.h"

#include "base/number_text.h"
#include "base/text.h"
#include "ui/console_render.h"
#include "ui/console_spin_box.h"

namespace ruvuvuri::ui {

std::string EditField(const std::vector<std::string>& words, const PanelFileControl& control,
                      ConsoleControlValue& value) {
    const std::string command = base::AsciiLower(words[0]);
    const bool clock = FindPanelControl(control.id)->kind == ControlKind::Double;
    const std::string usage =
        clock ? command + " MHZ, " + LimitsOf(control) : command + " HEX, 0x00000000 to 0xFFFFFFFF";
    if (words.size() != 2) {
        return command + " takes one value (" + usage + ")";
    }
    const std::string& text = words[1];
    if (control.read_only) {
        return LabelOf(control) + " is read-only in the panel file; nothing changed";
    }
    if (clock) {
        const base::NumberScan<double> wanted = base::ParseDouble(text);
        if (!wanted.ok()) {
            return "'" + text + "' is not a number (" + usage + "); nothing changed";
        }
        const double rounded = RoundTo(wanted.value, control.decimals);
        if (!WithinLimits(control, rounded)) {
            return LabelOf(control) + " " + text + " is outside the limits " + LimitsOf(control) +
                   "; nothing changed";
        }
        value.number = rounded;
        return {};
    }
    const base::NumberScan<std::uint32_t> wanted = base::ParseHex32(text);
    switch (wanted.status) {
        case base::NumberStatus::Ok:
            value.integer = wanted.value;
            return {};
        case base::NumberStatus::NotANumber:
            return "'" + text + "' is not a hexadecimal number (" + usage + "); nothing changed";
        case base::NumberStatus::OutOfRange:
            break;
    }
    return "'" + text + "' does not fit in 32 bits (" + usage + "); nothing changed";
}

}  // namespace ruvuvuri::ui
