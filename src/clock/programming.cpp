// SPDX-License-Identifier: GPL-2.0-or-later
#include "clock/clock_engine.h"

namespace ruvuvuri::clock {

namespace {

constexpr std::uint32_t kLowHalf = 0x0000FFFF;
constexpr std::uint32_t kHighHalf = 0xFFFF0000;

// Writes one PLL in two stages: first the new M and N under the P (and upper
// bits) the PLL already has, then the complete word, so the post-divider never
// changes under the old M and N. Without a usable word the PLL gets back the
// value it holds, in both stages, so the sequence keeps its shape and no
// half-made word reaches the card.
//
// A read of all ones is a card that did not answer (absent, or hung on the
// bus): its "old P and upper bits" are not real, and mixing them into the new
// M and N would send P 15 with every reserved bit set. The complete word then
// goes out in both stages, and without a word nothing does: all ones is no
// value to give back. (The readout refuses such a card before any write; this
// is a card that stopped answering in between.)
void WritePll(hw::RegisterWindow& window, std::uint32_t address,
              std::optional<std::uint32_t> word) {
    const std::uint32_t held = window.IN_LONGWORD(address);
    if (!word && held == kNoAnswer) {
        return;
    }
    const std::uint32_t first_stage = !word               ? held
                                      : held == kNoAnswer ? *word
                                                          : (*word & kLowHalf) | (held & kHighHalf);
    window.OUT_LONGWORD(address, first_stage);
    window.IN_LONGWORD(address);
    window.OUT_LONGWORD(address, word.value_or(held));
}

std::optional<std::uint32_t> WordOf(const PllSearchResult& result) {
    return result.found ? std::optional(result.coeff.word()) : std::nullopt;
}

}  // namespace

std::optional<ClockEngine::Unlocked> ClockEngine::BeginWrite() {
    if (!can_change_clocks_ || Refusal() != WriteRefusal::None) {
        return std::nullopt;
    }
    const Unlocked unlocked = UnlockAndReadCrystal();
    // The card may have stopped answering since it was read, and a crystal
    // the straps now leave open would make every coefficient wrong.
    if (unlocked.strap == kNoAnswer || !unlocked.crystal.certain()) {
        window_.crtc().SelectCrtcIndex(unlocked.saved_index);
        return std::nullopt;
    }
    return unlocked;
}

bool ClockEngine::ChangeSpeed(std::uint32_t memory_khz, std::uint32_t core_khz) {
    const std::optional<Unlocked> unlocked = BeginWrite();
    if (!unlocked) {
        return false;
    }
    // Both searches run before the bracket; targets beyond the signed range
    // count as invalid, like any other target of 0 or less.
    const PllSearchResult memory =
        CalcMemPLL(static_cast<std::int32_t>(memory_khz), unlocked->base_freq);
    const PllSearchResult core =
        CalcCorePLL(static_cast<std::int32_t>(core_khz), unlocked->base_freq);

    ProgramPlls(*unlocked, WordOf(memory), WordOf(core));
    return true;
}

bool ClockEngine::Restore(const ClockReading& reading) {
    // The same sequence as a change of clocks, crystal read included, so a
    // revert reaches the card exactly as an apply does.
    const std::optional<Unlocked> unlocked = BeginWrite();
    if (!unlocked) {
        return false;
    }
    ProgramPlls(*unlocked, reading.mem_pll_word, reading.core_pll_word);
    for (std::size_t i = 0; i < kTimingRegisters.size(); ++i) {
        SetTiming(i, reading.timings()[i]);
    }
    return true;
}

void ClockEngine::ProgramPlls(const Unlocked& unlocked, std::optional<std::uint32_t> memory_word,
                              std::optional<std::uint32_t> core_word) {
    // Inside the bracket: window accesses only. It closes on every way out.
    const hw::InterruptBracket bracket(window_.io());
    const std::uint32_t select = window_.IN_LONGWORD(kPllSelectRegister);
    window_.OUT_LONGWORD(kPllSelectRegister, select | kPllSelectProgrammed);
    WritePll(window_, kCorePllRegister, core_word);
    WritePll(window_, kMemPllRegister, memory_word);
    window_.crtc().SelectCrtcIndex(unlocked.saved_index);
}

bool ClockEngine::SetTiming(std::size_t which, std::uint32_t value) {
    const std::uint32_t address = kTimingRegisters.at(which);
    if (!can_change_clocks_ || Refusal() != WriteRefusal::None) {
        return false;
    }
    window_.OUT_LONGWORD(address, value);
    return true;
}

}  // namespace ruvuvuri::clock
