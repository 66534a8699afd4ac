// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/panel_file.h"

namespace ruvuvuri::ui {

// The value a console panel holds for one control; which member counts
// depends on the control's kind.
struct ConsoleControlValue {
    std::string text;
    double number = 0.0;
    std::uint32_t integer = 0;
};

// A loaded panel of the console engine: the panel file's description and the
// values the controls hold now.
struct ConsolePanel {
    int handle = 0;
    PanelFile file;
    std::vector<ConsoleControlValue> values;  // parallel to file.controls

    // `control` must be one of file.controls.
    ConsoleControlValue& ValueOf(const PanelFileControl& control) {
        return values[static_cast<std::size_t>(&control - file.controls.data())];
    }
    const ConsoleControlValue& ValueOf(const PanelFileControl& control) const {
        return values[static_cast<std::size_t>(&control - file.controls.data())];
    }
};

}  // namespace ruvuvuri::ui
