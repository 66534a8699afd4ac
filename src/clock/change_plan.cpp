// SPDX-License-Identifier: GPL-2.0-or-later
#include "clock/change_plan.h"

namespace ruvuvuri::clock {
namespace {

PllPlan PlanPll(std::uint32_t address, std::uint32_t read_word, std::uint32_t asked_khz,
                const PllSearchResult& result, int base_freq) {
    PllPlan plan;
    plan.address = address;
    plan.read_word = read_word;
    plan.asked_khz = asked_khz;
    plan.found = result.found;
    plan.coeff = result.coeff;
    // Without coefficients ChangeSpeed writes back the word the PLL holds.
    plan.write_word = result.found ? result.coeff.word() : read_word;
    plan.output_khz = PllOutputKhz(plan.write_word, base_freq);
    return plan;
}

}  // namespace

ChangePlan PlanChange(const ClockReading& reading, std::uint32_t select_read,
                      const ChangeTargets& targets) {
    ChangePlan plan;
    plan.base_freq = reading.base_freq;
    if (targets.clocks) {
        const auto [memory_khz, core_khz] = *targets.clocks;
        plan.select =
            RegisterPlan{kPllSelectRegister, select_read, select_read | kPllSelectProgrammed};
        plan.core = PlanPll(kCorePllRegister, reading.core_pll_word, core_khz,
                            CalcCorePLL(static_cast<std::int32_t>(core_khz), reading.base_freq),
                            reading.base_freq);
        plan.memory = PlanPll(kMemPllRegister, reading.mem_pll_word, memory_khz,
                              CalcMemPLL(static_cast<std::int32_t>(memory_khz), reading.base_freq),
                              reading.base_freq);
    }
    const std::uint32_t read_timings[3] = {reading.tim0, reading.tim1, reading.tim2};
    for (std::size_t i = 0; i < targets.timings.size(); ++i) {
        if (targets.timings[i]) {
            plan.timings.push_back({kTimingRegisters[i], read_timings[i], *targets.timings[i]});
        }
    }
    return plan;
}

}  // namespace ruvuvuri::clock
