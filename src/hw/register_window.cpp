#include "hw/register_window.h"

namespace ruvuvuri::hw {

namespace {

constexpr std::uint16_t kMiscOutputRead = 0x3CC;
constexpr std::uint8_t kMiscColourBit = 0x01;
constexpr std::uint16_t kCrtcColour = 0x3D4;
constexpr std::uint16_t kCrtcMono = 0x3B4;

// The window ports stay at 0x3D0/0x3D2 whichever address the CRT controller
// answers at.
constexpr std::uint16_t kWindowLow = 0x3D0;
constexpr std::uint16_t kWindowHigh = 0x3D2;

constexpr std::uint8_t kCr38Index = 0x38;
// CR38 index in the low byte, window mode in the high byte.
constexpr std::uint16_t kModeAddress = 0x0338;
constexpr std::uint16_t kModeRead = 0x0538;
constexpr std::uint16_t kModeWrite = 0x0738;
constexpr std::uint16_t kReadModeHigh = 0x0500;

std::uint16_t High(std::uint32_t value) {
    return static_cast<std::uint16_t>(value >> 16);
}
std::uint16_t Low(std::uint32_t value) {
    return static_cast<std::uint16_t>(value & 0xFFFF);
}

}  // namespace

void RegisterWindow::SetBaseport() {
    const std::uint8_t misc = io_.inb(kMiscOutputRead);
    baseport = (misc & kMiscColourBit) != 0 ? kCrtcColour : kCrtcMono;
}

void RegisterWindow::VgaOpen() {
    io_.outb(baseport, kCr38Index);
    Data2 = io_.inw(baseport);
    // Read mode first: the low data word the window returns now is what the
    // previous user of the window last left in it.
    io_.outw(baseport, static_cast<std::uint16_t>((Data2 & 0xFF) | kReadModeHigh));
    Data3 = io_.inw(kWindowLow);
    io_.outw(baseport, kModeAddress);
    // Both halves as unsigned words, so a low half with bit 15 set does not
    // spill into the high half.
    const std::uint32_t low = io_.inw(kWindowLow);
    const std::uint32_t high = io_.inw(kWindowHigh);
    LData1 = low | (high << 16);
}

void RegisterWindow::VgaClose() {
    io_.outw(baseport, kModeAddress);
    io_.outw(kWindowHigh, High(LData1));
    io_.outw(kWindowLow, Low(LData1));
    // In write mode the low word is only a latch: putting the saved word back
    // writes no register.
    io_.outw(baseport, kModeWrite);
    io_.outw(kWindowLow, Data3);
    io_.outw(baseport, Data2);
}

void RegisterWindow::out32(std::uint32_t address) {
    io_.outw(kWindowHigh, High(address));
    io_.outw(kWindowLow, Low(address));
}

void RegisterWindow::out2x32(std::uint32_t address, std::uint32_t value) {
    out32(address);
    io_.outw(baseport, kModeWrite);
    // The low word goes to the latch; the high word commits both.
    io_.outw(kWindowLow, Low(value));
    io_.outw(kWindowHigh, High(value));
}

std::uint32_t RegisterWindow::out32_in32(std::uint32_t address) {
    out32(address);
    io_.outw(baseport, kModeRead);
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
