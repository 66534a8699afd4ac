// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/plan_text.h"

#include <utility>

namespace ruvuvuri::app {
namespace {

std::string RegisterLine(std::uint32_t address, std::uint32_t read, std::uint32_t write) {
    return Format("%-12s 0x%06X  0x%08X  0x%08X", RegisterName(address).c_str(), address, read,
                  write);
}

std::string RegisterLine(const clock::RegisterPlan& plan) {
    return RegisterLine(plan.address, plan.read_value, plan.write_value) + "\n";
}

std::string PllLine(const clock::PllPlan& pll) {
    std::string line = RegisterLine(pll.address, pll.read_word, pll.write_word);
    if (pll.found) {
        line += Format("  M %d N %d P %d: %.3f MHz, asked %.3f MHz\n", pll.coeff.M, pll.coeff.N,
                       pll.coeff.P, pll.output_khz / 1000.0, pll.asked_khz / 1000.0);
    } else {
        line += Format("  no coefficients for %.3f MHz: the PLL is written back as it is\n",
                       pll.asked_khz / 1000.0);
    }
    return line;
}

}  // namespace

std::string RegisterName(std::uint32_t address) {
    static constexpr std::pair<std::uint32_t, const char*> kNames[] = {
        {clock::kStrapRegister, "Strap"},       {clock::kCorePllRegister, "Core PLL"},
        {clock::kMemPllRegister, "Memory PLL"}, {clock::kPllSelectRegister, "PLL select"},
        {clock::kTiming0Register, "Timing 0"},  {clock::kTiming1Register, "Timing 1"},
        {clock::kTiming2Register, "Timing 2"},
    };
    for (const auto& [known, name] : kNames) {
        if (known == address) {
            return name;
        }
    }
    return "";
}

std::string FormatPlan(const clock::ChangePlan& plan) {
    if (plan.empty()) {
        return "No clock or timing to change: nothing would be written.\n";
    }
    std::string out = Format("%-12s %-8s  %-10s  %-10s\n", "Register", "Address", "Read", "Write");
    if (plan.select) {
        out += RegisterLine(*plan.select);
    }
    if (plan.core) {
        out += PllLine(*plan.core);
    }
    if (plan.memory) {
        out += PllLine(*plan.memory);
    }
    for (const clock::RegisterPlan& timing : plan.timings) {
        out += RegisterLine(timing);
    }
    if (plan.select) {
        out += Format(
            "Crystal %d kHz. Each PLL is written in two stages (new M and N under the old "
            "P, then the whole word) with interrupts off.\n",
            plan.base_freq);
    }
    return out;
}

}  // namespace ruvuvuri::app
