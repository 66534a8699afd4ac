// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/register_window.h"

namespace ruvuvuri::hw {
namespace {

std::uint16_t High(std::uint32_t value) {
    return static_cast<std::uint16_t>(value >> 16);
}
std::uint16_t Low(std::uint32_t value) {
    return static_cast<std::uint16_t>(value & 0xFFFF);
}

}  // namespace

std::uint16_t RegisterWindow::SetBaseport(PortIo& io) {
    return (io.inb(0x3CC) & 0x01) != 0 ? kCrtcColour : kCrtcMono;
}

void RegisterWindow::VgaOpen() {
    Data2 = crtc_.CrtcReadWord(kCr38Index);
    // Read mode first: the low data word the window returns now is what the
    // previous user of the window last left in it.
    crtc_.CrtcWriteWord(static_cast<std::uint8_t>(Data2), kModeRead);
    Data3 = io_.inw(kWindowLow);
    crtc_.CrtcWriteWord(kCr38Index, kModeAddress);
    // Both halves as unsigned words, so a low half with bit 15 set does not
    // spill into the high half.
    const std::uint32_t low = io_.inw(kWindowLow);
    const std::uint32_t high = io_.inw(kWindowHigh);
    LData1 = low | (high << 16);
}

void RegisterWindow::VgaClose() {
    crtc_.CrtcWriteWord(kCr38Index, kModeAddress);
    io_.outw(kWindowHigh, High(LData1));
    io_.outw(kWindowLow, Low(LData1));
    // In write mode the low word is only a latch: putting the saved word back
    // writes no register.
    crtc_.CrtcWriteWord(kCr38Index, kModeWrite);
    io_.outw(kWindowLow, Data3);
    // Index register and CR38 as they were, in one access.
    crtc_.CrtcWriteWord(static_cast<std::uint8_t>(Data2), static_cast<std::uint8_t>(Data2 >> 8));
}

void RegisterWindow::out32(std::uint32_t address) {
    io_.outw(kWindowHigh, High(address));
    io_.outw(kWindowLow, Low(address));
}

void RegisterWindow::out2x32(std::uint32_t address, std::uint32_t value) {
    out32(address);
    crtc_.CrtcWriteWord(kCr38Index, kModeWrite);
    // The low word goes to the latch; the high word commits both.
    io_.outw(kWindowLow, Low(value));
    io_.outw(kWindowHigh, High(value));
}

std::uint32_t RegisterWindow::out32_in32(std::uint32_t address) {
    out32(address);
    crtc_.CrtcWriteWord(kCr38Index, kModeRead);
    const std::uint32_t high = io_.inw(kWindowHigh);
    const std::uint32_t low = io_.inw(kWindowLow);
    return (high << 16) | low;
}

std::uint32_t RegisterWindow::IN_LONGWORD(std::uint32_t address) {
    VgaOpen();
    const std::uint32_t value = out32_in32(address);
    VgaClose();
    return value;
}

void RegisterWindow::OUT_LONGWORD(std::uint32_t address, std::uint32_t value) {
    VgaOpen();
    out2x32(address, value);
    VgaClose();
}

}  // namespace ruvuvuri::hw
