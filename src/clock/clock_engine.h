#pragma once

#include <cstdint>

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

inline constexpr std::uint32_t kStrapCrystalBit = 0x40;
inline constexpr int kCrystal14318 = 14318;
inline constexpr int kCrystal13500 = 13500;
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

// The coefficients whose output comes closest to the target. Pure functions of
// their arguments; at most eight candidates of integer arithmetic.
PllSearchResult CalcMemPLL(std::int32_t target_khz, int base_freq);
PllSearchResult CalcCorePLL(std::int32_t target_khz, int base_freq);

// The clock engine: reads the crystal, both clocks and the three timing
// registers, and reprograms the PLLs. Every operation does nothing while
// CanChangeClocks is 0, which the program sets only after the card check.
class ClockEngine {
  public:
    explicit ClockEngine(hw::RegisterWindow& window) : window_(window) {}

    // Fills both outputs (kHz); leaves them untouched while CanChangeClocks is 0.
    // Always returns 0.
    int GetSpeed(std::uint32_t* memory_khz, std::uint32_t* core_khz);
    // Refreshes memclk, nvclk, their MHz twins and tim0..tim2.
    void GetCurrentClocks();
    // Reprograms both PLLs, each in two stages inside the interrupt bracket.
    void ChangeSpeed(std::uint32_t memory_khz, std::uint32_t core_khz);

    int CanChangeClocks = 0;
    int base_freq = 0;
    std::uint32_t memclk = 0;
    std::uint32_t nvclk = 0;
    double memclk_d = 0.0;
    double nvclk_d = 0.0;
    std::uint32_t tim0 = 0;
    std::uint32_t tim1 = 0;
    std::uint32_t tim2 = 0;

  private:
    // Saves the CRT controller index, unlocks the extended registers (the
    // window needs them) and sets base_freq from the strap register. Returns
    // the saved index, which the caller puts back when its sequence ends.
    std::uint8_t UnlockAndReadCrystal();

    hw::RegisterWindow& window_;
};

}  // namespace ruvuvuri::clock
