// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "card/bios_image.h"
#include "card/chip.h"
#include "clock/clock_engine.h"
#include "hw/backend.h"

namespace ruvuvuri::app {

// What `--info` prints: the BIOS fields the panel shows, the chip, and from one
// readout the crystal, both clocks in MHz with the PLL words they come from,
// and the three timings, and, where they differ, the clocks the card started with.
std::string FormatCardInfo(const card::BiosImage& bios, const card::Chip& chip,
                           const clock::ClockReading& reading,
                           const std::optional<hw::StartedClocks>& started = std::nullopt);

// What `--info --json` prints: the same facts as one JSON object with the
// field names documented in docs/info-json.md, followed by a newline.
// `backend` names where the accesses went (the backend record's name). Without
// a chip (no GeForce, or one this program does not set) it holds only the BIOS
// fields and says so.
std::string FormatCardInfoJson(const card::BiosImage& bios, const std::optional<card::Chip>& chip,
                               const clock::ClockReading& reading, const std::string& backend,
                               const std::optional<hw::StartedClocks>& started = std::nullopt);

// The clocks the card started with, as a reading with the card's crystal; and
// the other way.
clock::ClockReading StartedReading(const hw::StartedClocks& started, int base_freq);
hw::StartedClocks StartedOf(const clock::ClockReading& reading);

// "NV15 (GeForce2 GTS/Pro/Ti/Ultra)".
std::string ChipName(const card::Chip& chip);

// Why a card whose image passed the check is not touched at all: a device ID
// of a chip this program does not know.
std::string UnsupportedChipText(std::uint16_t device_id);

// One line that says why the engine's last reading refuses every write, and
// what to do; empty when it refuses none.
std::string RefusalText(const clock::ClockEngine& engine);

// Why an apply that the reading allowed wrote nothing after all: the strap read
// that starts the clock change refused it.
inline constexpr const char* kStrapChanged =
    "the card's strap register no longer reads as it did a moment ago (the card stopped "
    "answering, or its crystal is now open); nothing was written";

// A change plan as a table, one line per register in the order of the writes:
// name, address, value read, value to write, and for each PLL its M, N and P
// with the clock they produce next to the clock asked for. Every line ends
// with a newline; an empty plan is one line saying nothing would be written.
std::string FormatPlan(const clock::ChangePlan& plan);

// The name of a card register the program knows ("Core PLL", "Timing 1"), or
// an empty text.
std::string RegisterName(std::uint32_t address);

// printf into a text of at most 199 characters, for the lines of a plan or an
// explained trace.
std::string Format(const char* format, auto... values) {
    char line[200];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

}  // namespace ruvuvuri::app
