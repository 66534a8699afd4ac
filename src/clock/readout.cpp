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

Crystal CrystalFor(card::CrystalStraps straps, std::uint32_t strap, std::optional<int> stated_khz) {
    // Until an open crystal is stated, the clocks are shown for the bit-6 one,
    // which the first chips had.
    Crystal crystal{CrystalKhz(strap)};
    const bool bit22_set = (strap & kStrapCrystal27MhzBit) != 0;
    if (bit22_set && straps == card::CrystalStraps::Bit22Is27Mhz) {
        if ((strap & kStrapCrystalBit) != 0) {
            crystal.open = {kCrystal25000, kCrystal27000};
        } else {
            crystal.khz = kCrystal27000;
        }
    } else if (bit22_set && straps == card::CrystalStraps::Bit22Unclear) {
        crystal.open = {crystal.khz, kCrystal27000};
    }
    const bool open = crystal.open[0] != 0;
    if (open && stated_khz && (*stated_khz == crystal.open[0] || *stated_khz == crystal.open[1])) {
        return {*stated_khz};
    }
    crystal.contradicted = stated_khz && (open || *stated_khz != crystal.khz);
    return crystal;
}

WriteRefusal RefusalFor(const card::Chip& chip, const ClockReading& reading) {
    if (reading.strap == kNoAnswer || reading.core_pll_word == kNoAnswer ||
        reading.mem_pll_word == kNoAnswer) {
        return WriteRefusal::NoAnswer;
    }
    return reading.crystal.contradicted ? WriteRefusal::CrystalContradicted
           : chip.integrated            ? WriteRefusal::Integrated
           : reading.crystal.certain()  ? WriteRefusal::None
                                        : WriteRefusal::CrystalUncertain;
}

std::uint8_t ClockEngine::Unlock(Speed& speed) {
    const std::uint8_t saved_index = window_.crtc().CrtcIndex();
    window_.crtc().CrtcWrite(kCr1fIndex, kUnlockExtended);
    speed.strap = window_.IN_LONGWORD(kStrapRegister);
    speed.crystal = CrystalFor(chip_.crystal, speed.strap, stated_crystal_khz_);
    speed.base_freq = speed.crystal.khz;
    return saved_index;
}

std::optional<Speed> ClockEngine::GetSpeed() {
    if (!can_change_clocks_) {
        return std::nullopt;
    }
    Speed speed;
    const std::uint8_t saved_index = Unlock(speed);
    speed.mem_pll_word = window_.IN_LONGWORD(kMemPllRegister);
    speed.core_pll_word = window_.IN_LONGWORD(kCorePllRegister);
    window_.crtc().SelectCrtcIndex(saved_index);

    speed.memclk = PllOutputKhz(speed.mem_pll_word, speed.base_freq);
    speed.nvclk = PllOutputKhz(speed.core_pll_word, speed.base_freq);
    return speed;
}

const ClockReading& ClockEngine::GetCurrentClocks() {
    if (const std::optional<Speed> speed = GetSpeed()) {
        ClockReading reading{*speed};
        reading.memclk_d = reading.memclk / 1000.0;
        reading.nvclk_d = reading.nvclk / 1000.0;
        reading.tim0 = window_.IN_LONGWORD(kTiming0Register);
        reading.tim1 = window_.IN_LONGWORD(kTiming1Register);
        reading.tim2 = window_.IN_LONGWORD(kTiming2Register);
        reading_ = reading;  // only once the whole reading is in
    }
    return reading_;
}

}  // namespace ruvuvuri::clock
