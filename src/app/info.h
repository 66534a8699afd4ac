// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "card/bios_image.h"
#include "clock/clock_engine.h"

namespace ruvuvuri::app {

// What `--info` prints: the BIOS fields the panel shows, and from one readout
// the crystal, both clocks in MHz with the PLL words they come from, and the
// three timings.
std::string FormatCardInfo(const card::BiosImage& bios, const clock::ClockReading& reading);

}  // namespace ruvuvuri::app
