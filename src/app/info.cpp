// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/info.h"

#include <cstdio>

#include "app/plan_text.h"

namespace ruvuvuri::app {
namespace {

void AppendLine(std::string& out, const char* label, const char* format, auto... values) {
    char value[160];
    std::snprintf(value, sizeof value, format, values...);
    char line[200];
    std::snprintf(line, sizeof line, "%-18s%s\n", label, value);
    out += line;
}

// "bit 22 is set" or "bits 22 and 6 are set", of the strap as read.
std::string OpenStrapBits(const clock::ClockReading& reading) {
    const bool bit6 = (reading.strap & clock::kStrapCrystalBit) != 0;
    return Format("strap 0x%08X has %s", reading.strap, bit6 ? "bits 22 and 6 set" : "bit 22 set");
}

}  // namespace

std::string ChipName(const card::Chip& chip) {
    return Format("%s (%s)", chip.name, chip.family);
}

std::string UnsupportedChipText(std::uint16_t device_id) {
    return Format(
        "This card's PCI device ID is 0x%04X. Ruvuvuri sets only GeForce 256 to GeForce4 "
        "(NV1x/NV2x) chips, whose clock registers it knows, so nothing was touched.",
        unsigned{device_id});
}

std::string RefusalText(const clock::ClockEngine& engine) {
    using clock::WriteRefusal;
    const card::Chip& chip = engine.chip();
    const clock::ClockReading& reading = engine.current();
    const clock::Crystal& crystal = reading.crystal;
    const int stated_crystal_khz = engine.stated_crystal_khz().value_or(0);
    switch (engine.Refusal()) {
        case WriteRefusal::None:
            return "";
        case WriteRefusal::NoAnswer:
            return "the card does not answer through its register window (the strap or a PLL "
                   "register reads 0xFFFFFFFF): it is not there, hung, or not the primary display "
                   "adapter; nothing was written. Make the GeForce the primary adapter and run "
                   "again";
        case WriteRefusal::Integrated:
            return "the " + ChipName(chip) +
                   " has no memory PLL or memory timing registers of its own (the chipset clocks "
                   "its memory), so Ruvuvuri writes nothing to it; nothing was written";
        case WriteRefusal::CrystalUncertain:
            return "the straps leave the crystal of this " + ChipName(chip) +
                   " open: " + OpenStrapBits(reading) +
                   Format(
                       ", which means %d or %d kHz (the clocks shown assume %d kHz); state the "
                       "board's crystal with --crystal=%d or --crystal=%d; nothing was written",
                       crystal.open[0], crystal.open[1], crystal.khz, crystal.open[0],
                       crystal.open[1]);
        case WriteRefusal::CrystalContradicted:
            if (crystal.open[0] != 0) {
                return Format("--crystal=%d is neither of the crystals the straps of this ",
                              stated_crystal_khz) +
                       ChipName(chip) + " allow (" + OpenStrapBits(reading) +
                       Format(": %d or %d kHz); give one of them; nothing was done",
                              crystal.open[0], crystal.open[1]);
            }
            return Format("--crystal=%d contradicts the straps of this ", stated_crystal_khz) +
                   ChipName(chip) +
                   Format(
                       " (strap 0x%08X: %d kHz), which decide the crystal; leave --crystal "
                       "out; nothing was done",
                       reading.strap, crystal.khz);
    }
    return "";
}

std::string FormatCardInfo(const card::BiosImage& bios, const card::Chip& chip,
                           const clock::ClockReading& reading) {
    std::string out;
    AppendLine(out, "Device ID:", "0x%04X", unsigned{bios.DeviceId().value_or(0)});
    AppendLine(out, "Chip:", "%s", ChipName(chip).c_str());
    AppendLine(out, "Subsystem:", "0x%04X 0x%04X", unsigned{bios.RomWord54()},
               unsigned{bios.RomWord56()});
    AppendLine(out, "BIOS version:", "%s", bios.BiosVersion().c_str());
    AppendLine(out, "BIOS text:", "%s", bios.BiosText().c_str());
    const clock::Crystal& crystal = reading.crystal;
    if (crystal.certain()) {
        AppendLine(out, "Crystal:", "%d kHz", reading.base_freq);
    } else {
        AppendLine(out, "Crystal:",
                   "%d kHz (uncertain: %s, which means %d or %d kHz; give "
                   "--crystal=KHZ)",
                   reading.base_freq, OpenStrapBits(reading).c_str(), crystal.open[0],
                   crystal.open[1]);
    }
    AppendLine(out, "Core clock:", "%.3f MHz (PLL 0x%08X)", reading.nvclk_d, reading.core_pll_word);
    AppendLine(out, "Memory clock:", "%.3f MHz (PLL 0x%08X)", reading.memclk_d,
               reading.mem_pll_word);
    AppendLine(out, "Timing 0:", "0x%08X", reading.tim0);
    AppendLine(out, "Timing 1:", "0x%08X", reading.tim1);
    AppendLine(out, "Timing 2:", "0x%08X", reading.tim2);
    return out;
}

}  // namespace ruvuvuri::app
