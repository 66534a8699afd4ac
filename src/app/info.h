#pragma once

#include <cstdint>
#include <string>

#include "card/bios_image.h"
#include "clock/clock_engine.h"

namespace ruvuvuri::app {

// What `--info` prints: the BIOS fields the panel shows, the crystal, both
// clocks in MHz with their PLL words, and the three timings.
std::string FormatCardInfo(const card::BiosImage& bios, const clock::ClockEngine& engine,
                           std::uint32_t core_pll_word, std::uint32_t mem_pll_word);

}  // namespace ruvuvuri::app
