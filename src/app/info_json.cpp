// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/info.h"

#include <nlohmann/json.hpp>

namespace ruvuvuri::app {
namespace {

nlohmann::ordered_json Clock(std::uint32_t khz, std::uint32_t word) {
    const clock::PllCoeff coeff = clock::PllCoeff::FromWord(word);
    return {{"khz", khz},   {"mhz", khz / 1000.0}, {"pll_word", word},
            {"m", coeff.M}, {"n", coeff.N},        {"p", coeff.P}};
}

}  // namespace

std::string FormatCardInfoJson(const card::BiosImage& bios, const clock::ClockReading& reading,
                               const std::string& backend) {
    nlohmann::ordered_json info = {
        {"format", 1},
        {"backend", backend},
        {"bios",
         {{"device_id", bios.DeviceId().value_or(0)},
          {"rom_word_54", bios.RomWord54()},
          {"rom_word_56", bios.RomWord56()},
          {"version", bios.BiosVersion()},
          {"text", bios.BiosText()}}},
        {"crystal_khz", reading.base_freq},
        {"core", Clock(reading.nvclk, reading.core_pll_word)},
        {"memory", Clock(reading.memclk, reading.mem_pll_word)},
        {"timings", {reading.tim0, reading.tim1, reading.tim2}},
    };
    // The BIOS text comes from the card: bytes that are not UTF-8 become
    // U+FFFD rather than ending the run.
    return info.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace ruvuvuri::app
