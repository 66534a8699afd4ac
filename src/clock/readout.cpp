// SPDX-License-Identifier: GPL-2.0-or-later
#include "clock/clock_engine.h"

namespace ruvuvuri::clock {

std::uint32_t PllOutputKhz(std::uint32_t word, int base_freq) {
    const PllCoeff coeff = PllCoeff::FromWord(word);
    if (coeff.M == 0) {
        return 0;
    }
    const std::uint32_t oscillator = static_cast<std::uint32_t>(base_freq) *
                                     static_cast<std::uint32_t>(coeff.N) /
                                     static_cast<std::uint32_t>(coeff.M);
    return oscillator >> coeff.P;
}

ClockEngine::Unlocked ClockEngine::UnlockAndReadCrystal() {
    hw::Crtc& crtc = window_.crtc();
    const std::uint8_t saved_index = crtc.CrtcIndex();
    crtc.CrtcWrite(kCr1fIndex, kUnlockExtended);

    return {saved_index, CrystalKhz(window_.IN_LONGWORD(kStrapRegister))};
}

std::optional<Speed> ClockEngine::GetSpeed() {
    if (!can_change_clocks_) {
        return std::nullopt;
    }
    // The caller's index selection is put back afterwards.
    const Unlocked unlocked = UnlockAndReadCrystal();
    Speed speed;
    speed.base_freq = unlocked.base_freq;
    speed.mem_pll_word = window_.IN_LONGWORD(kMemPllRegister);
    speed.core_pll_word = window_.IN_LONGWORD(kCorePllRegister);
    window_.crtc().SelectCrtcIndex(unlocked.saved_index);

    speed.memclk = PllOutputKhz(speed.mem_pll_word, speed.base_freq);
    speed.nvclk = PllOutputKhz(speed.core_pll_word, speed.base_freq);
    return speed;
}

const ClockReading& ClockEngine::GetCurrentClocks() {
    const std::optional<Speed> speed = GetSpeed();
    if (!speed) {
        return reading_;
    }
    ClockReading reading{*speed};
    reading.memclk_d = reading.memclk / 1000.0;
    reading.nvclk_d = reading.nvclk / 1000.0;
    reading.tim0 = window_.IN_LONGWORD(kTiming0Register);
    reading.tim1 = window_.IN_LONGWORD(kTiming1Register);
    reading.tim2 = window_.IN_LONGWORD(kTiming2Register);
    reading_ = reading;
    return reading_;
}

std::optional<std::uint32_t> ClockEngine::ReadPllSelect() {
    if (!can_change_clocks_) {
        return std::nullopt;
    }
    return window_.IN_LONGWORD(kPllSelectRegister);
}

}  // namespace ruvuvuri::clock
