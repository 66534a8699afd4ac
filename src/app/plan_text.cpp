// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/plan_text.h"

#include <cstdio>

namespace ruvuvuri::app {
namespace {

std::string Line(const char* format, auto... values) {
    char line[200];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

std::string RegisterLine(std::uint32_t address, std::uint32_t read, std::uint32_t write) {
    return Line("%-12s 0x%06X  0x%08X  0x%08X", RegisterName(address).c_str(), address, read,
                write);
}

std::string PllLine(const clock::PllPlan& pll) {
    std::string line = RegisterLine(pll.address, pll.read_word, pll.write_word);
    if (pll.found) {
        line += Line("  M %d N %d P %d: %.3f MHz, asked %.3f MHz\n", pll.coeff.M, pll.coeff.N,
                     pll.coeff.P, pll.output_khz / 1000.0, pll.asked_khz / 1000.0);
    } else {
        line += Line("  no coefficients for %.3f MHz: the PLL is written back as it is\n",
                     pll.asked_khz / 1000.0);
    }
    return line;
}

}  // namespace

std::string RegisterName(std::uint32_t address) {
    switch (address) {
        case clock::kStrapRegister:
            return "Strap";
        case clock::kCorePllRegister:
            return "Core PLL";
        case clock::kMemPllRegister:
            return "Memory PLL";
        case clock::kPllSelectRegister:
            return "PLL select";
        case clock::kTiming0Register:
            return "Timing 0";
        case clock::kTiming1Register:
            return "Timing 1";
        case clock::kTiming2Register:
            return "Timing 2";
        default:
            return "";
    }
}

std::string FormatPlan(const clock::ChangePlan& plan) {
    if (plan.empty()) {
        return "No clock or timing to change: nothing would be written.\n";
    }
    std::string out = Line("%-12s %-8s  %-10s  %-10s\n", "Register", "Address", "Read", "Write");
    if (plan.select) {
        out +=
            RegisterLine(plan.select->address, plan.select->read_value, plan.select->write_value) +
            "\n";
    }
    if (plan.core) {
        out += PllLine(*plan.core);
    }
    if (plan.memory) {
        out += PllLine(*plan.memory);
    }
    for (const clock::RegisterPlan& timing : plan.timings) {
        out += RegisterLine(timing.address, timing.read_value, timing.write_value) + "\n";
    }
    if (plan.select) {
        out += Line(
            "Crystal %d kHz. Each PLL is written in two stages (new M and N under the old "
            "P, then the whole word) with interrupts off.\n",
            plan.base_freq);
    }
    return out;
}

}  // namespace ruvuvuri::app
