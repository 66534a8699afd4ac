// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

#include "hw/port_io.h"

namespace ruvuvuri::hw {

inline constexpr std::uint16_t kCrtcColour = 0x3D4;
inline constexpr std::uint16_t kCrtcMono = 0x3B4;

// The VGA CRT controller's index port (`base`, 0x3D4 or 0x3B4) and data port
// (`base` + 1), so that a register sequence reads as the hardware manual does
// and no caller spells out the port pair. Each helper is exactly the accesses
// its comment names, in that order and at that width.
class Crtc {
  public:
    Crtc(PortIo& io, std::uint16_t base) : io_(io), base_(base) {}

    std::uint16_t base() const { return base_; }

    // The index register: byte read / byte write of `base`.
    std::uint8_t CrtcIndex() { return io_.inb(base_); }
    void SelectCrtcIndex(std::uint8_t index) { io_.outb(base_, index); }

    // Byte write of the index, then byte write of the value to `base` + 1.
    void CrtcWrite(std::uint8_t index, std::uint8_t value) {
        io_.outb(base_, index);
        io_.outb(static_cast<std::uint16_t>(base_ + 1), value);
    }

    // Byte write of the index, then one 16-bit read of `base`: the index
    // register in the low byte, the selected register in the high byte.
    std::uint16_t CrtcReadWord(std::uint8_t index) {
        io_.outb(base_, index);
        return io_.inw(base_);
    }

    // One 16-bit write of `base`: the index in the low byte, the value in the
    // high byte, so both change in a single access.
    void CrtcWriteWord(std::uint8_t index, std::uint8_t value) {
        io_.outw(base_, static_cast<std::uint16_t>(index | (value << 8)));
    }

  private:
    PortIo& io_;
    std::uint16_t base_;
};

}  // namespace ruvuvuri::hw
