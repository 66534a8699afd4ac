// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>

namespace ruvuvuri::card {

// What strap bit 22 of a chip means for its reference crystal. Bit 6 alone
// (set 14318 kHz, clear 13500 kHz) is the rule of the first GeForce chips;
// later ones added a 27 MHz (or 25 MHz) crystal, and the open drivers agree
// only on part of how they mark it.
enum class CrystalStraps {
    Bit6,          // bit 22 means nothing
    Bit22Is27Mhz,  // NV25, NV28: bit 22 with bit 6 clear is 27000 kHz; both set is 25000 or 27000
    Bit22Unclear,  // NV17, NV18, NV1F: bit 22 set is 27000 kHz, or means nothing
};

// A chip whose core and memory PLLs sit at 0x680500/0x680504 in the
// single-stage layout this program programs. Later NVIDIA chips keep other
// PLLs there, or none, and are never touched.
struct Chip {
    std::uint16_t first_device;  // a block of 16 device IDs: the low bits are strap-selectable
    const char* name;
    const char* family;
    bool integrated;  // no memory PLL or timing registers: the chipset clocks the memory
    CrystalStraps crystal;
};

inline constexpr Chip kChips[] = {
    {0x0100, "NV10", "GeForce 256", false, CrystalStraps::Bit6},
    {0x0110, "NV11", "GeForce2 MX", false, CrystalStraps::Bit6},
    {0x0150, "NV15", "GeForce2 GTS/Pro/Ti/Ultra", false, CrystalStraps::Bit6},
    {0x0170, "NV17", "GeForce4 MX", false, CrystalStraps::Bit22Unclear},
    {0x0180, "NV18", "GeForce4 MX, AGP 8x", false, CrystalStraps::Bit22Unclear},
    {0x01A0, "NV1A", "GeForce2 integrated", true, CrystalStraps::Bit6},
    {0x01F0, "NV1F", "GeForce4 MX integrated", true, CrystalStraps::Bit22Unclear},
    {0x0200, "NV20", "GeForce3", false, CrystalStraps::Bit6},
    {0x0250, "NV25", "GeForce4 Ti", false, CrystalStraps::Bit22Is27Mhz},
    {0x0280, "NV28", "GeForce4 Ti, AGP 8x", false, CrystalStraps::Bit22Is27Mhz},
};

inline std::optional<Chip> ChipFor(std::uint16_t device_id) {
    for (const Chip& chip : kChips) {
        if ((device_id & 0xFFF0) == chip.first_device) {
            return chip;
        }
    }
    return std::nullopt;
}

}  // namespace ruvuvuri::card
