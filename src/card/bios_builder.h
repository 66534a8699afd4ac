// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ruvuvuri::card {

// The defaults describe the built-in GeForce2 GTS.
struct BiosLayout {
    std::uint8_t size_units = 0x10;      // ROM size byte at 0x02, in 512-byte units
    std::uint16_t pcir_offset = 0x0180;  // header pointer at 0x18 and where "PCIR" is placed
    std::uint16_t vendor = 0x10DE;
    std::uint16_t device = 0x0150;
    std::string text = "GF2 GTS ";  // the 8 bytes at 0x38 (cut or zero-padded)
    std::uint16_t word54 = 0x10DE;  // subsystem vendor
    std::uint16_t word56 = 0x0150;  // subsystem device
    std::array<std::uint8_t, 4> version = {0x05, 0x01, 0x11, 0x03};  // bytes 0x7C..0x7F
    // The byte at 0x03, where the firmware calls the image to initialise it;
    // 0xCB (a far return) makes that call return at once.
    std::uint8_t init_entry = 0x00;
    // A second PCI data structure ahead of the one the header points at, which
    // a scan for the first "PCIR" finds instead; 0 places none.
    std::uint16_t leading_pcir_offset = 0;
    std::uint16_t leading_vendor = 0x10DE;
    std::uint16_t leading_device = 0x0150;
};

// A well-formed option ROM image of size_units × 512 bytes (at least 8192),
// its bytes summing to zero.
std::vector<std::uint8_t> BuildBiosImage(const BiosLayout& layout = {});

}  // namespace ruvuvuri::card
