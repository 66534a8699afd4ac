// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "card/chip.h"
#include "hw/register_window.h"

namespace ruvuvuri::clock {

// Card registers, each 32 bits wide and reached only through the register window.
inline constexpr std::uint32_t kStrapRegister = 0x101000;  // bit 6: reference crystal
inline constexpr std::uint32_t kCorePllRegister = 0x680500;
inline constexpr std::uint32_t kMemPllRegister = 0x680504;
inline constexpr std::uint32_t kPllSelectRegister = 0x68050C;
inline constexpr std::uint32_t kTiming0Register = 0x100220;
inline constexpr std::uint32_t kTiming1Register = 0x100224;
inline constexpr std::uint32_t kTiming2Register = 0x100228;
inline constexpr std::array<std::uint32_t, 3> kTimingRegisters = {
    kTiming0Register, kTiming1Register, kTiming2Register};

inline constexpr std::uint32_t kStrapCrystalBit = 0x40;
inline constexpr std::uint32_t kStrapCrystal27MhzBit = 0x400000;
inline constexpr int kCrystal14318 = 14318;
inline constexpr int kCrystal13500 = 13500;
inline constexpr int kCrystal25000 = 25000;
inline constexpr int kCrystal27000 = 27000;
// The reference crystal, in kHz, that strap bit 6 names.
inline constexpr int CrystalKhz(std::uint32_t strap) {
    return (strap & kStrapCrystalBit) != 0 ? kCrystal14318 : kCrystal13500;
}

// As the straps give it, or as stated (--crystal) where they leave it open.
struct Crystal {
    int khz = 0;  // what the clocks are computed from
    // Where the straps leave the crystal open and none was stated: the two
    // they allow (the clocks are then shown for the bit-6 crystal); else 0, 0.
    std::array<int, 2> open = {0, 0};
    bool contradicted = false;  // a crystal was stated that the straps rule out

    bool certain() const { return open[0] == 0 && !contradicted; }
};
Crystal CrystalFor(card::CrystalStraps straps, std::uint32_t strap,
                   std::optional<int> stated_khz = std::nullopt);

// A card register that reads all ones did not answer through the window: the
// card is absent, hung, or not the primary display adapter.
inline constexpr std::uint32_t kNoAnswer = 0xFFFFFFFF;
// CR1F, written 0x57, opens the extended CRT controller registers the window uses.
inline constexpr std::uint8_t kCr1fIndex = 0x1F;
inline constexpr std::uint8_t kUnlockExtended = 0x57;
// Bits of the select register that make the core and memory PLLs run from the
// programmed coefficients.
inline constexpr std::uint32_t kPllSelectProgrammed = 0x500;

// The PLL coefficient word: M (reference divider) in bits 0-7, N (feedback
// multiplier) in bits 8-15, P (post-divider, a power of two) in bits 16-19.
struct PllCoeff {
    int M = 0;
    int N = 0;
    int P = 0;

    std::uint32_t word() const {
        return (static_cast<std::uint32_t>(P) << 16) + (static_cast<std::uint32_t>(N) << 8) +
               static_cast<std::uint32_t>(M);
    }
    static PllCoeff FromWord(std::uint32_t word) {
        return {static_cast<int>(word & 0xFF), static_cast<int>((word >> 8) & 0xFF),
                static_cast<int>((word >> 16) & 0xF)};
    }
};

// The clock a PLL word produces from the reference crystal, in kHz:
// (base × N ÷ M) >> P in unsigned integer arithmetic. A word with M = 0 cannot
// be decoded and reads as 0 kHz.
std::uint32_t PllOutputKhz(std::uint32_t word, int base_freq);

// A coefficient search result; `found` is false when no candidate exists (a
// target of 0 or less, a target so small that P would exceed 15, or every
// candidate needs N above 255).
struct PllSearchResult {
    PllCoeff coeff;
    bool found = false;
};

// The coefficients whose output comes closest to the target.
PllSearchResult CalcMemPLL(std::int32_t target_khz, int base_freq);
PllSearchResult CalcCorePLL(std::int32_t target_khz, int base_freq);

struct Speed {
    int base_freq = 0;                // reference crystal, kHz
    Crystal crystal;                  // how certain the straps make it
    std::uint32_t strap = 0;          // 0x101000 as read
    std::uint32_t mem_pll_word = 0;   // 0x680504 as read
    std::uint32_t core_pll_word = 0;  // 0x680500 as read
    std::uint32_t memclk = 0;         // memory clock, kHz
    std::uint32_t nvclk = 0;          // core clock, kHz
};

// Both clocks also in MHz, the values the front ends show and edit.
struct ClockReading : Speed {
    double memclk_d = 0.0;
    double nvclk_d = 0.0;
    std::uint32_t tim0 = 0;
    std::uint32_t tim1 = 0;
    std::uint32_t tim2 = 0;

    std::array<std::uint32_t, 3> timings() const { return {tim0, tim1, tim2}; }
};

enum class WriteRefusal {
    None,
    NoAnswer,             // the strap or a PLL register read all ones
    CrystalContradicted,  // the stated crystal is not one the straps allow
    Integrated,           // no memory PLL or timing registers of its own
    CrystalUncertain,     // the straps allow two crystals, and none was stated
};
WriteRefusal RefusalFor(const card::Chip& chip, const ClockReading& reading);

// New clocks are always for both PLLs.
struct ChangeTargets {
    struct Clocks {
        std::uint32_t memory_khz = 0;
        std::uint32_t core_khz = 0;
    };
    std::optional<Clocks> clocks;
    std::array<std::optional<std::uint32_t>, 3> timings;

    bool empty() const { return !clocks && !timings[0] && !timings[1] && !timings[2]; }
};

struct PllPlan {
    std::uint32_t address = 0;
    std::uint32_t read_word = 0;
    std::uint32_t asked_khz = 0;
    bool found = false;            // coefficients exist; otherwise the PLL keeps its word
    PllCoeff coeff;                // what the search chose (when found)
    std::uint32_t write_word = 0;  // the complete word of the second stage
    std::uint32_t output_khz = 0;  // the clock that word produces

    // The word to program, or nothing: the PLL is written back as it holds.
    std::optional<std::uint32_t> word() const {
        return found ? std::optional(write_word) : std::nullopt;
    }
};

struct RegisterPlan {
    std::uint32_t address = 0;
    std::uint32_t read_value = 0;
    std::uint32_t write_value = 0;
};

// In the order of the writes: the PLL select register, the core PLL and the
// memory PLL (each in two stages, inside the interrupt bracket), the timings.
struct ChangePlan {
    int base_freq = 0;
    std::optional<RegisterPlan> select;  // with the clocks
    std::optional<PllPlan> core;
    std::optional<PllPlan> memory;
    std::vector<RegisterPlan> timings;

    bool empty() const { return !select && timings.empty(); }
};

// The one decision that Apply carries out and that --dry-run and Preview
// print. Pure.
ChangePlan PlanChange(const ClockReading& reading, std::uint32_t select_read,
                      const ChangeTargets& targets);
// The plan of writing back `target`'s words exactly (ClockEngine::Restore).
ChangePlan PlanRestore(const ClockReading& reading, std::uint32_t select_read,
                       const ClockReading& target);

// The clock next to `from_khz` (above it for `direction` +1, below for -1)
// that some target's coefficients give with this crystal: where a panel's
// arrows step. `from_khz` itself when there is none.
std::uint32_t NextReachableKhz(std::uint32_t from_khz, int direction, bool memory_pll,
                               int base_freq);

// Every operation does nothing until EnableClockChanges(), which the program
// calls only after the card check, and no write reaches a card that the last
// reading refuses (WriteRefusal).
class ClockEngine {
  public:
    explicit ClockEngine(hw::RegisterWindow& window, const card::Chip& chip = {},
                         std::optional<int> stated_crystal_khz = std::nullopt)
        : window_(window), chip_(chip), stated_crystal_khz_(stated_crystal_khz) {}

    void EnableClockChanges() { can_change_clocks_ = true; }
    bool CanChangeClocks() const { return can_change_clocks_; }

    // Nothing, and no port touched, while clock changes are not enabled.
    std::optional<Speed> GetSpeed();
    // Keeps what it reads as the current reading. While clock changes are not
    // enabled it touches nothing and returns the reading it already had.
    const ClockReading& GetCurrentClocks();
    // The reading of the last GetCurrentClocks (all zero before the first).
    const ClockReading& current() const { return reading_; }
    WriteRefusal Refusal() const { return RefusalFor(chip_, reading_); }
    const card::Chip& chip() const { return chip_; }
    std::optional<int> stated_crystal_khz() const { return stated_crystal_khz_; }

    // The plan of `targets`, for the crystal of the strap read that opens the
    // sequence. False, with no register written, when the last reading refuses
    // writes or that strap read does.
    bool Apply(const ChangeTargets& targets);
    bool ChangeSpeed(std::uint32_t memory_khz, std::uint32_t core_khz) {
        return Apply({ChangeTargets::Clocks{memory_khz, core_khz}, {}});
    }
    // Both PLL words exactly as read (all 32 bits), through the sequence of an
    // apply, strap read and bracket included, so that a revert reaches the card
    // as an apply does; then all three timings. The caller reads the card again
    // afterwards. False as for Apply.
    bool Restore(const ClockReading& reading);
    // One read of the PLL select register, which a change of clocks reads and
    // rewrites; nothing while clock changes are not enabled.
    std::optional<std::uint32_t> ReadPllSelect() {
        return can_change_clocks_ ? std::optional(window_.IN_LONGWORD(kPllSelectRegister))
                                  : std::nullopt;
    }
    // Throws std::out_of_range for a `which` other than 0, 1 or 2.
    bool SetTiming(std::size_t which, std::uint32_t value) {
        ChangeTargets targets;
        targets.timings.at(which) = value;
        return Apply(targets);
    }

  private:
    // Saves the CRT controller index (returned), unlocks the extended registers
    // the window needs and reads the strap register and the crystal it gives
    // into `speed`. The caller puts the index back when its sequence ends.
    std::uint8_t Unlock(Speed& speed);
    // Opens a write sequence as Unlock does; nothing, with the index put back
    // at once, when the card must not be written.
    std::optional<std::uint8_t> BeginWrite(Speed& speed);
    // Writes `plan`: with a write sequence open (`saved_index`), the select
    // register, then each PLL in two stages, inside the interrupt bracket, the
    // saved CRT controller index put back before it closes; then the timings.
    void CarryOut(const ChangePlan& plan, std::optional<std::uint8_t> saved_index);

    hw::RegisterWindow& window_;
    card::Chip chip_;
    std::optional<int> stated_crystal_khz_;
    bool can_change_clocks_ = false;
    ClockReading reading_;
};

}  // namespace ruvuvuri::clock
