#include "ui/console_render.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "ui/console_commands.h"
#include "ui/console_spin_box.h"

namespace ruvuvuri::ui {
namespace {

bool IsTiming(int control) {
    return control == PANEL_TIMING0 || control == PANEL_TIMING1 || control == PANEL_TIMING2;
}

std::string FormatHex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

}  // namespace

std::string LabelOf(const PanelFileControl& control) {
    return control.label.empty() ? control.name : control.label;
}

void RenderPanel(std::ostream& out, const ConsolePanel& panel) {
    if (!panel.file.title.empty()) {
        out << "== " << panel.file.title << " ==\n";
    }
    std::size_t width = 0;
    for (const PanelFileControl& control : panel.file.controls) {
        if (control.id == PANEL_BANNER) {
            const std::string& banner = panel.ValueOf(control).text;
            if (!banner.empty()) {
                out << banner << '\n';
            }
        } else {
            width = std::max(width, LabelOf(control).size());
        }
    }
    for (const PanelFileControl& control : panel.file.controls) {
        const ConsoleControlValue& value = panel.ValueOf(control);
        const ControlKind kind = FindPanelControl(control.id)->kind;
        std::string shown;
        switch (kind) {
            case ControlKind::Text:
                if (control.id == PANEL_BANNER) {
                    continue;
                }
                shown = value.text;
                break;
            case ControlKind::Integer:
                shown = FormatHex(value.integer, IsTiming(control.id) ? 8 : 4);
                break;
            case ControlKind::Double:
                shown = FormatFixed(value.number, control.decimals) + control.suffix;
                break;
        }
        out << "  " << Padded(LabelOf(control), width) << "  ";
        const char* word = EditWordFor(control.id);
        if (word == nullptr || control.read_only) {
            out << shown << '\n';
        } else if (kind == ControlKind::Double) {
            out << Padded(shown, 14) << "  (" << word << ", " << LimitsOf(control) << ")\n";
        } else {
            out << Padded(shown, 14) << "  (" << word << ")\n";
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
