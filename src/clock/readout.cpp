#include "clock/clock_engine.h"

namespace ruvuvuri::clock {

namespace {

constexpr std::uint8_t kCr1fIndex = 0x1F;
constexpr std::uint8_t kUnlockExtended = 0x57;

}  // namespace

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

std::uint8_t ClockEngine::UnlockAndReadCrystal() {
    hw::PortIo& io = window_.io();
    const std::uint16_t port = window_.baseport;
    const std::uint8_t saved_index = io.inb(port);
    io.outb(port, kCr1fIndex);
    io.outb(static_cast<std::uint16_t>(port + 1), kUnlockExtended);

    const std::uint32_t strap = window_.IN_LONGWORD(kStrapRegister);
    base_freq = (strap & kStrapCrystalBit) != 0 ? kCrystal14318 : kCrystal13500;
    return saved_index;
}

int ClockEngine::GetSpeed(std::uint32_t* memory_khz, std::uint32_t* core_khz) {
    if (CanChangeClocks == 0) {
        return 0;
    }
    // The caller's index selection is put back afterwards.
    const std::uint8_t saved_index = UnlockAndReadCrystal();
    const std::uint32_t memory_word = window_.IN_LONGWORD(kMemPllRegister);
    const std::uint32_t core_word = window_.IN_LONGWORD(kCorePllRegister);

    window_.io().outb(window_.baseport, saved_index);

    *memory_khz = PllOutputKhz(memory_word, base_freq);
    *core_khz = PllOutputKhz(core_word, base_freq);
    return 0;
}

void ClockEngine::GetCurrentClocks() {
    if (CanChangeClocks == 0) {
        return;
    }
    GetSpeed(&memclk, &nvclk);
    memclk_d = memclk / 1000.0;
    nvclk_d = nvclk / 1000.0;
    tim0 = window_.IN_LONGWORD(kTiming0Register);
    tim1 = window_.IN_LONGWORD(kTiming1Register);
    tim2 = window_.IN_LONGWORD(kTiming2Register);
}

}  // namespace ruvuvuri::clock
