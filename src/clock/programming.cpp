// SPDX-License-Identifier: GPL-2.0-or-later
#include "clock/clock_engine.h"

namespace ruvuvuri::clock {
namespace {

// Two stages: first the new M and N under the P (and upper bits) the PLL
// already has, then the complete word, so the post-divider never changes under
// the old M and N. Without a usable word the PLL gets back what it holds, in
// both stages, so the sequence keeps its shape and no half-made word goes out.
//
// A held value of all ones is a card that stopped answering since the readout
// (which refuses such a card): mixing its "P and upper bits" into the new M and
// N would send P 15 with every reserved bit set. The complete word then goes
// out in both stages, and without a word nothing does.
void WritePll(hw::RegisterWindow& window, std::uint32_t address,
              std::optional<std::uint32_t> word) {
    const std::uint32_t held = window.IN_LONGWORD(address);
    if (!word && held == kNoAnswer) {
        return;
    }
    const std::uint32_t merged = (word.value_or(held) & 0x0000FFFF) | (held & 0xFFFF0000);
    window.OUT_LONGWORD(address, held == kNoAnswer ? *word : merged);
    window.IN_LONGWORD(address);
    window.OUT_LONGWORD(address, word.value_or(held));
}

PllPlan PlanPll(std::uint32_t address, std::uint32_t read_word, std::uint32_t asked_khz,
                PllSearchResult (*search)(std::int32_t, int), int base_freq) {
    // Targets beyond the signed range count as invalid, like any other
    // target of 0 or less.
    const PllSearchResult result = search(static_cast<std::int32_t>(asked_khz), base_freq);
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

ChangePlan PlanRestore(const ClockReading& reading, std::uint32_t select_read,
                       const ClockReading& target) {
    ChangePlan plan;
    plan.base_freq = reading.base_freq;
    plan.select = RegisterPlan{kPllSelectRegister, select_read, select_read | kPllSelectProgrammed};
    const auto exact = [&](std::uint32_t address, std::uint32_t read_word, std::uint32_t word) {
        const std::uint32_t khz = PllOutputKhz(word, reading.base_freq);
        return PllPlan{address, read_word, khz, true, PllCoeff::FromWord(word), word, khz};
    };
    plan.core = exact(kCorePllRegister, reading.core_pll_word, target.core_pll_word);
    plan.memory = exact(kMemPllRegister, reading.mem_pll_word, target.mem_pll_word);
    for (std::size_t i = 0; i < kTimingRegisters.size(); ++i) {
        plan.timings.push_back({kTimingRegisters[i], reading.timings()[i], target.timings()[i]});
    }
    return plan;
}

std::uint32_t NextReachableKhz(std::uint32_t from_khz, int direction, bool memory_pll,
                               int base_freq) {
    const auto search = memory_pll ? CalcMemPLL : CalcCorePLL;
    // The output of each target's coefficients stays within a few hundred kHz
    // of the target, so the next one beyond is found within a bounded walk.
    for (std::int64_t target = std::int64_t{from_khz} + direction, walked = 0;
         target > 0 && walked < 100000; target += direction, ++walked) {
        const PllSearchResult result = search(static_cast<std::int32_t>(target), base_freq);
        const std::uint32_t output =
            result.found ? PllOutputKhz(result.coeff.word(), base_freq) : 0;
        if (result.found && (direction > 0 ? output > from_khz : output < from_khz)) {
            return output;
        }
    }
    return from_khz;
}

std::optional<std::uint8_t> ClockEngine::BeginWrite(Speed& speed) {
    if (!can_change_clocks_ || Refusal() != WriteRefusal::None) {
        return std::nullopt;
    }
    const std::uint8_t saved_index = Unlock(speed);
    // The card may have stopped answering since it was read, and a crystal
    // the straps now leave open would make every coefficient wrong.
    if (speed.strap == kNoAnswer || !speed.crystal.certain()) {
        window_.crtc().SelectCrtcIndex(saved_index);
        return std::nullopt;
    }
    return saved_index;
}

bool ClockEngine::Apply(const ChangeTargets& targets) {
    if (!can_change_clocks_ || Refusal() != WriteRefusal::None) {
        return false;
    }
    // Both searches for the crystal of the strap read that opens the sequence,
    // before the bracket.
    ClockReading now = reading_;
    const std::optional<std::uint8_t> saved_index = targets.clocks ? BeginWrite(now) : std::nullopt;
    if (targets.clocks && !saved_index) {
        return false;
    }
    CarryOut(PlanChange(now, 0, targets), saved_index);
    return true;
}

bool ClockEngine::Restore(const ClockReading& reading) {
    ClockReading now = reading_;
    const std::optional<std::uint8_t> saved_index = BeginWrite(now);
    if (!saved_index) {
        return false;
    }
    CarryOut(PlanRestore(now, 0, reading), saved_index);
    return true;
}

void ClockEngine::CarryOut(const ChangePlan& plan, std::optional<std::uint8_t> saved_index) {
    if (saved_index) {
        // Inside the bracket: window accesses only. It closes on every way out.
        const hw::InterruptBracket bracket(window_.io());
        const std::uint32_t select = window_.IN_LONGWORD(kPllSelectRegister);
        window_.OUT_LONGWORD(kPllSelectRegister, select | kPllSelectProgrammed);
        WritePll(window_, kCorePllRegister, plan.core->word());
        WritePll(window_, kMemPllRegister, plan.memory->word());
        window_.crtc().SelectCrtcIndex(*saved_index);
    }
    for (const RegisterPlan& timing : plan.timings) {
        window_.OUT_LONGWORD(timing.address, timing.write_value);
    }
}

}  // namespace ruvuvuri::clock
