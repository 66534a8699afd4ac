// SPDX-License-Identifier: GPL-2.0-or-later
// What the program says about the card: --info as text and JSON, the chip,
// why writes are refused, and the plan of a change.
#include "app/info.h"

#include <nlohmann/json.hpp>
#include <utility>

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

std::string RegisterLine(std::uint32_t address, std::uint32_t read, std::uint32_t write) {
    return Format("%-12s 0x%06X  0x%08X  0x%08X", RegisterName(address).c_str(), address, read,
                  write);
}

std::string RegisterLine(const clock::RegisterPlan& plan) {
    return RegisterLine(plan.address, plan.read_value, plan.write_value) + "\n";
}

std::string PllLine(const clock::PllPlan& pll) {
    std::string line = RegisterLine(pll.address, pll.read_word, pll.write_word);
    if (pll.found) {
        line += Format("  M %d N %d P %d: %.3f MHz, asked %.3f MHz\n", pll.coeff.M, pll.coeff.N,
                       pll.coeff.P, pll.output_khz / 1000.0, pll.asked_khz / 1000.0);
    } else {
        line += Format("  no coefficients for %.3f MHz: the PLL is written back as it is\n",
                       pll.asked_khz / 1000.0);
    }
    return line;
}

nlohmann::ordered_json Clock(std::uint32_t khz, std::uint32_t word) {
    const clock::PllCoeff coeff = clock::PllCoeff::FromWord(word);
    return {{"khz", khz},   {"mhz", khz / 1000.0}, {"pll_word", word},
            {"m", coeff.M}, {"n", coeff.N},        {"p", coeff.P}};
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

clock::ClockReading StartedReading(const hw::StartedClocks& started, int base_freq) {
    clock::ClockReading reading;
    reading.base_freq = base_freq;
    reading.core_pll_word = started.core_pll;
    reading.mem_pll_word = started.memory_pll;
    reading.nvclk = clock::PllOutputKhz(started.core_pll, base_freq);
    reading.memclk = clock::PllOutputKhz(started.memory_pll, base_freq);
    reading.nvclk_d = reading.nvclk / 1000.0;
    reading.memclk_d = reading.memclk / 1000.0;
    reading.tim0 = started.timings[0];
    reading.tim1 = started.timings[1];
    reading.tim2 = started.timings[2];
    return reading;
}

hw::StartedClocks StartedOf(const clock::ClockReading& reading) {
    return {reading.core_pll_word, reading.mem_pll_word, reading.timings()};
}

std::string FormatCardInfo(const card::BiosImage& bios, const card::Chip& chip,
                           const clock::ClockReading& reading,
                           const std::optional<hw::StartedClocks>& started) {
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
    // What --restore would write back, where it is not what the card holds.
    if (started && *started != StartedOf(reading)) {
        const clock::ClockReading then = StartedReading(*started, reading.base_freq);
        AppendLine(out, "Started with:", "core %.3f MHz (PLL 0x%08X), memory %.3f MHz (PLL 0x%08X)",
                   then.nvclk_d, then.core_pll_word, then.memclk_d, then.mem_pll_word);
        AppendLine(out, "", "timings 0x%08X 0x%08X 0x%08X", then.tim0, then.tim1, then.tim2);
    }
    return out;
}

std::string RegisterName(std::uint32_t address) {
    static constexpr std::pair<std::uint32_t, const char*> kNames[] = {
        {clock::kStrapRegister, "Strap"},       {clock::kCorePllRegister, "Core PLL"},
        {clock::kMemPllRegister, "Memory PLL"}, {clock::kPllSelectRegister, "PLL select"},
        {clock::kTiming0Register, "Timing 0"},  {clock::kTiming1Register, "Timing 1"},
        {clock::kTiming2Register, "Timing 2"},
    };
    for (const auto& [known, name] : kNames) {
        if (known == address) {
            return name;
        }
    }
    return "";
}

std::string FormatPlan(const clock::ChangePlan& plan) {
    if (plan.empty()) {
        return "No clock or timing to change: nothing would be written.\n";
    }
    std::string out = Format("%-12s %-8s  %-10s  %-10s\n", "Register", "Address", "Read", "Write");
    if (plan.select) {
        out += RegisterLine(*plan.select);
    }
    if (plan.core) {
        out += PllLine(*plan.core);
    }
    if (plan.memory) {
        out += PllLine(*plan.memory);
    }
    for (const clock::RegisterPlan& timing : plan.timings) {
        out += RegisterLine(timing);
    }
    if (plan.select) {
        out += Format(
            "Crystal %d kHz. Each PLL is written in two stages (new M and N under the old "
            "P, then the whole word) with interrupts off.\n",
            plan.base_freq);
    }
    return out;
}

std::string FormatCardInfoJson(const card::BiosImage& bios, const std::optional<card::Chip>& chip,
                               const clock::ClockReading& reading, const std::string& backend,
                               const std::optional<hw::StartedClocks>& started) {
    const std::optional<std::uint16_t> device = bios.DeviceId();
    nlohmann::ordered_json info = {
        {"format", 1},
        {"backend", backend},
        {"supported", chip.has_value()},
        {"chip", chip ? nlohmann::ordered_json(chip->name) : nullptr},
        {"bios",
         {{"device_id", device ? nlohmann::ordered_json(*device) : nullptr},
          {"rom_word_54", bios.RomWord54()},
          {"rom_word_56", bios.RomWord56()},
          {"version", bios.BiosVersion()},
          {"text", bios.BiosText()}}},
    };
    if (chip) {
        info["crystal_khz"] = reading.base_freq;
        info["crystal_certain"] = reading.crystal.certain();
        info["core"] = Clock(reading.nvclk, reading.core_pll_word);
        info["memory"] = Clock(reading.memclk, reading.mem_pll_word);
        info["timings"] = {reading.tim0, reading.tim1, reading.tim2};
        info["started"] = nullptr;
        if (started) {
            const clock::ClockReading then = StartedReading(*started, reading.base_freq);
            info["started"] = {{"core", Clock(then.nvclk, then.core_pll_word)},
                               {"memory", Clock(then.memclk, then.mem_pll_word)},
                               {"timings", {then.tim0, then.tim1, then.tim2}}};
        }
    }
    // The BIOS text comes from the card: bytes that are not UTF-8 become
    // U+FFFD rather than ending the run.
    return info.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace ruvuvuri::app
