// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/builtin_card.h"

#include "card/bios_builder.h"

namespace ruvuvuri::app {

hw::CardState BuiltinGeForce2Gts() {
    hw::CardState state;
    state.description = "GeForce2 GTS, 32 MB DDR (built in)";
    state.bios = card::BuildBiosImage();
    state.misc_output = 0x67;
    state.crtc_index = 0x00;
    state.extended_unlocked = false;
    state.crtc = {{0x38, 0x00}};
    state.registers = {
        {0x101000, 0x00000040},  // straps: 14318 kHz crystal
        {0x680500, 0x00006207},  // core PLL: M 7, N 98, P 0 = 200.452 MHz
        {0x680504, 0x0000740a},  // memory PLL: M 10, N 116, P 0 = 166.088 MHz
        {0x68050c, 0x00000000},  // both PLLs on their default source
        {0x100220, 0x22322222},  // memory timings
        {0x100224, 0x00000a0a}, {0x100228, 0x05050505},
    };
    return state;
}

}  // namespace ruvuvuri::app
