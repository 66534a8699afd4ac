// SPDX-License-Identifier: GPL-2.0-or-later
#include <nlohmann/json.hpp>

#include "app/info.h"

namespace ruvuvuri::app {
namespace {

nlohmann::ordered_json Clock(std::uint32_t khz, std::uint32_t word) {
    const clock::PllCoeff coeff = clock::PllCoeff::FromWord(word);
    return {{"khz", khz},   {"mhz", khz / 1000.0}, {"pll_word", word},
            {"m", coeff.M}, {"n", coeff.N},        {"p", coeff.P}};
}

}  // namespace

std::string FormatCardInfoJson(const card::BiosImage& bios, const std::optional<card::Chip>& chip,
                               const clock::ClockReading& reading, const std::string& backend) {
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
    }
    // The BIOS text comes from the card: bytes that are not UTF-8 become
    // U+FFFD rather than ending the run.
    return info.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace ruvuvuri::app
