// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/info.h"

#include <cstdio>

namespace ruvuvuri::app {
namespace {

void AppendLine(std::string& out, const char* label, const char* format, auto... values) {
    char value[96];
    std::snprintf(value, sizeof value, format, values...);
    char line[160];
    std::snprintf(line, sizeof line, "%-18s%s\n", label, value);
    out += line;
}

}  // namespace

std::string FormatCardInfo(const card::BiosImage& bios, const clock::ClockReading& reading) {
    std::string out;
    AppendLine(out, "Device ID:", "0x%04X", unsigned{bios.DeviceId().value_or(0)});
    AppendLine(out, "Subsystem:", "0x%04X 0x%04X", unsigned{bios.RomWord54()},
               unsigned{bios.RomWord56()});
    AppendLine(out, "BIOS version:", "%s", bios.BiosVersion().c_str());
    AppendLine(out, "BIOS text:", "%s", bios.BiosText().c_str());
    AppendLine(out, "Crystal:", "%d kHz", reading.base_freq);
    AppendLine(out, "Core clock:", "%.3f MHz (PLL 0x%08X)", reading.nvclk_d, reading.core_pll_word);
    AppendLine(out, "Memory clock:", "%.3f MHz (PLL 0x%08X)", reading.memclk_d,
               reading.mem_pll_word);
    AppendLine(out, "Timing 0:", "0x%08X", reading.tim0);
    AppendLine(out, "Timing 1:", "0x%08X", reading.tim1);
    AppendLine(out, "Timing 2:", "0x%08X", reading.tim2);
    return out;
}

}  // namespace ruvuvuri::app
