// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "hw/backends/card_state.h"

namespace ruvuvuri::app {

// The built-in card of `--sim`: a GeForce2 GTS (device 0x0150), 14318 kHz
// crystal, core PLL 0x00006207 (200.452 MHz), memory PLL 0x0000740a
// (166.088 MHz), plausible timings and a synthetic BIOS image.
hw::CardState BuiltinGeForce2Gts();

}  // namespace ruvuvuri::app
