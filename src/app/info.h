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

// What `--info --json` prints: the same facts as one JSON object with the
// field names documented in docs/info-json.md, followed by a newline.
// `backend` names where the accesses went (the backend record's name).
std::string FormatCardInfoJson(const card::BiosImage& bios, const clock::ClockReading& reading,
                               const std::string& backend);

}  // namespace ruvuvuri::app
