// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

#include "hw/port_io.h"

namespace ruvuvuri::hw {

inline constexpr std::uint16_t kCrtcColour = 0x3D4;
inline constexpr std::uint16_t kCrtcMono = 0x3B4;
// The window's ports, the same whichever address the CRT controller answers
// at, and the modes CR38 switches them to.
inline constexpr std::uint16_t kWindowLow = 0x3D0;
inline constexpr std::uint16_t kWindowHigh = 0x3D2;
inline constexpr std::uint8_t kCr38Index = 0x38;
inline constexpr std::uint8_t kModeAddress = 0x03;
inline constexpr std::uint8_t kModeRead = 0x05;
inline constexpr std::uint8_t kModeWrite = 0x07;

// The VGA CRT controller's index port (`base`) and data port (`base` + 1), so
// that a register sequence reads as the hardware manual does, access for access
// and at the same widths.
class Crtc {
  public:
    Crtc(PortIo& io, std::uint16_t base) : io_(io), base_(base) {}

    std::uint16_t base() const { return base_; }

    std::uint8_t CrtcIndex() { return io_.inb(base_); }
    void SelectCrtcIndex(std::uint8_t index) { io_.outb(base_, index); }

    void CrtcWrite(std::uint8_t index, std::uint8_t value) {
        io_.outb(base_, index);
        io_.outb(static_cast<std::uint16_t>(base_ + 1), value);
    }

    // The index register in the low byte, the selected register in the high byte.
    std::uint16_t CrtcReadWord(std::uint8_t index) {
        io_.outb(base_, index);
        return io_.inw(base_);
    }

    // Index and value change in a single access.
    void CrtcWriteWord(std::uint8_t index, std::uint8_t value) {
        io_.outw(base_, static_cast<std::uint16_t>(index | (value << 8)));
    }

  private:
    PortIo& io_;
    std::uint16_t base_;
};

// The card's real-mode register window: CR38 switches the 16-bit ports 0x3D0
// (low word) and 0x3D2 (high word) between taking a register address, returning
// register data and taking register data. Every register access opens the
// window, saving CR38, the window address and the low data word, and closes it
// again restoring them, so whatever else uses the window (the video BIOS, a
// driver) finds it as it left it.
class RegisterWindow {
  public:
    // Chooses the CRT controller port at once (one read of port 0x3CC), so a
    // window exists only with its port known. Build it only after the card
    // check has passed: before that no port may be touched.
    explicit RegisterWindow(PortIo& io) : io_(io), crtc_(io, SetBaseport(io)) {}

    // One complete register read / write, each in its own open/close pair.
    std::uint32_t IN_LONGWORD(std::uint32_t address);
    void OUT_LONGWORD(std::uint32_t address, std::uint32_t value);

    Crtc& crtc() { return crtc_; }
    PortIo& io() { return io_; }

  private:
    // Bit 0 of the miscellaneous output register (0x3CC): set 0x3D4 (colour),
    // clear 0x3B4 (monochrome).
    static std::uint16_t SetBaseport(PortIo& io);

    void VgaOpen();
    void VgaClose();
    void out32(std::uint32_t address);
    void out2x32(std::uint32_t address, std::uint32_t value);
    std::uint32_t out32_in32(std::uint32_t address);

    PortIo& io_;
    Crtc crtc_;
    std::uint16_t Data2 = 0;   // index register (low) and CR38 (high) when opened
    std::uint16_t Data3 = 0;   // low data word the window returned when opened
    std::uint32_t LData1 = 0;  // window address when opened
};

}  // namespace ruvuvuri::hw
