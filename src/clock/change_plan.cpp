// SPDX-License-Identifier: GPL-2.0-or-later
#include "clock/change_plan.h"

namespace ruvuvuri::clock {
namespace {

PllPlan PlanPll(std::uint32_t address, std::uint32_t read_word, std::uint32_t asked_khz,
                PllSearchResult (*search)(std::int32_t, int), int base_freq) {
    const PllSearchResult result = search(static_cast<std::int32_t>(asked_khz), base_freq);
    // Without coefficients ChangeSpeed writes back the word the PLL holds.
    const std::uint32_t write_word = result.found ? result.coeff.word() : read_word;
    return {.address = address,
            .read_word = read_word,
            .asked_khz = asked_khz,
            .found = result.found,
            .coeff = result.coeff,
            .write_word = write_word,
            .output_khz = PllOutputKhz(write_word, base_freq)};
}

}  // namespace

ChangePlan PlanChange(const ClockReading& reading, std::uint32_t select_read,
                      const ChangeTargets& targets) {
    ChangePlan plan;
    plan.base_freq = reading.base_freq;
    if (targets.clocks) {
        plan.select =
            RegisterPlan{kPllSelectRegister, select_read, select_read | kPllSelectProgrammed};
        plan.core = PlanPll(kCorePllRegister, reading.core_pll_word, targets.clocks->core_khz,
                            CalcCorePLL, reading.base_freq);
        plan.memory = PlanPll(kMemPllRegister, reading.mem_pll_word, targets.clocks->memory_khz,
                              CalcMemPLL, reading.base_freq);
    }
    for (std::size_t i = 0; i < targets.timings.size(); ++i) {
        if (targets.timings[i]) {
            plan.timings.push_back(
                {kTimingRegisters[i], reading.timings()[i], *targets.timings[i]});
        }
    }
    return plan;
}

}  // namespace ruvuvuri::clock
