// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "card/bios_image.h"
#include "clock/clock_engine.h"

namespace ruvuvuri::app {

// What `--info --json` prints: the facts of --info as one JSON object with
// the field names documented in docs/info-json.md, followed by a newline.
// `backend` names where the accesses went (the backend record's name).
std::string FormatCardInfoJson(const card::BiosImage& bios, const clock::ClockReading& reading,
                               const std::string& backend);

}  // namespace ruvuvuri::app
