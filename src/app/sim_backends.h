// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "hw/backend.h"

namespace ruvuvuri::app {

// The simulated cards. They live here rather than in hw/ because the built-in
// card carries a BIOS image made by the card layer, and a profile run saves
// its card when a stop signal ends it.

// `--sim`: the built-in GeForce2 GTS, whose state lives only for the run.
extern const hw::BackendRecord kBuiltInSimBackend;

// `--sim=FILE`: the card kept in a profile (seeded with the built-in card when
// the file does not exist), locked for the run and saved at its end, also when
// a stop signal ends the run.
extern const hw::BackendRecord kProfileSimBackend;

}  // namespace ruvuvuri::app
