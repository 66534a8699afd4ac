// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "hw/backend.h"
#include "hw/backends/sim_card.h"

namespace ruvuvuri::app {

// The simulated cards. They live here rather than in hw/ because the built-in
// card carries a BIOS image made by the card layer.

// The built-in card of `--sim`: a GeForce2 GTS (device 0x0150), 14318 kHz
// crystal, core PLL 0x00006207 (200.452 MHz), memory PLL 0x0000740a
// (166.088 MHz), plausible timings and a synthetic BIOS image.
hw::CardState BuiltinGeForce2Gts();

// `--sim`: the built-in card, whose state lives only for the run.
extern const hw::BackendRecord kBuiltInSimBackend;

// `--sim=FILE`: the card kept in a profile, read at start and saved at the end
// of the run; a profile that does not exist yet is first made from the
// built-in card (SeedProfileIfMissing).
extern const hw::BackendRecord kProfileSimBackend;

// When `path` names nothing at all, writes the built-in card there as a new
// profile with its BIOS image beside it (card.json gets card.rom), and returns
// one line for the user about what was created; otherwise touches nothing.
// Throws ProfileError, having created nothing, when the files cannot be written.
std::optional<std::string> SeedProfileIfMissing(const std::filesystem::path& path);

}  // namespace ruvuvuri::app
