// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/console_render.h"

#include <algorithm>
#include <ostream>

#include "ui/console_commands.h"
#include "ui/console_spin_box.h"
#include "ui/field_text.h"

namespace ruvuvuri::ui {
namespace {

std::string Padded(std::string text, std::size_t width) {
    text.resize(std::max(text.size(), width), ' ');
    return text;
}

}  // namespace

std::string LabelOf(const PanelFileControl& control) {
    return control.label.empty() ? control.name : control.label;
}

std::string RangeOf(const PanelFileControl& control) {
    return FindPanelControl(control.id)->kind == ControlKind::Double ? LimitsOf(control)
                                                                     : "0x00000000 to 0xFFFFFFFF";
}

std::vector<std::string> RenderRows(const ConsolePanel& panel) {
    std::size_t width = 0;
    for (const PanelFileControl& control : panel.file.controls) {
        if (control.id != PANEL_BANNER && control.id != PANEL_STATUS) {
            width = std::max(width, LabelOf(control).size());
        }
    }
    std::vector<std::string> rows;
    for (const PanelFileControl& control : panel.file.controls) {
        const ConsoleControlValue& value = panel.ValueOf(control);
        const PanelControl& entry = *FindPanelControl(control.id);
        if (control.id == PANEL_BANNER) {
            rows.emplace_back();
            continue;
        }
        if (control.id == PANEL_STATUS) {
            rows.push_back(value.text.empty() ? std::string() : "  " + value.text);
            continue;
        }
        std::string shown;
        switch (entry.kind) {
            case ControlKind::Text:
                shown = value.text;
                break;
            case ControlKind::Integer:  // the editable ones are the 32-bit timings
                shown = entry.editable ? FormatRegister(value.integer) : FormatWord(value.integer);
                break;
            case ControlKind::Double:
                shown = FormatFixed(value.number, control.decimals) + control.suffix;
                break;
        }
        std::string row = "  " + Padded(LabelOf(control), width) + "  ";
        const char* word = EditWordFor(control.id);
        if (word == nullptr || control.read_only) {
            row += shown;
        } else {
            row += Padded(shown, 14) + "  (" + word + ", " + RangeOf(control) + ")";
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

void RenderPanel(std::ostream& out, const ConsolePanel& panel) {
    if (!panel.file.title.empty()) {
        out << "== " << panel.file.title << " ==\n";
    }
    if (const PanelFileControl* banner = panel.file.FindControl(PANEL_BANNER)) {
        if (!panel.ValueOf(*banner).text.empty()) {
            out << panel.ValueOf(*banner).text << '\n';
        }
    }
    for (const std::string& row : RenderRows(panel)) {
        if (!row.empty()) {
            out << row << '\n';
        }
    }
    const char* gap = "  ";
    for (const PanelFileButton& button : panel.file.buttons) {
        out << gap << '[' << button.text << ']';
        gap = "   ";
        if (const char* command = CommandFor(button)) {
            out << ' ' << command;
        }
    }
    out << "   (help lists the commands)\n" << std::flush;
}

}  // namespace ruvuvuri::ui
