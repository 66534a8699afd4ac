// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/expected_trace.h"

#include <cstdio>

namespace ruvuvuri::test {

namespace {

constexpr std::uint16_t kMiscOutputRead = 0x3CC;
constexpr std::uint16_t kWindowLow = 0x3D0;
constexpr std::uint16_t kWindowHigh = 0x3D2;
constexpr std::uint8_t kCr1f = 0x1F;
constexpr std::uint8_t kUnlock = 0x57;
constexpr std::uint8_t kCr38 = 0x38;
constexpr std::uint8_t kAddressMode = 0x03;
constexpr std::uint8_t kReadMode = 0x05;
constexpr std::uint8_t kWriteMode = 0x07;

std::uint16_t ModeWord(std::uint8_t mode) {
    return static_cast<std::uint16_t>((mode << 8) | kCr38);
}
std::uint16_t High(std::uint32_t value) {
    return static_cast<std::uint16_t>(value >> 16);
}
std::uint16_t Low(std::uint32_t value) {
    return static_cast<std::uint16_t>(value & 0xFFFF);
}

}  // namespace

ExpectedTrace::ExpectedTrace(CardModel card) : card_(std::move(card)) {
    lines_.emplace_back(kTraceHeader);
}

std::uint32_t ExpectedTrace::Register(std::uint32_t address) const {
    const auto it = card_.registers.find(address);
    return it == card_.registers.end() ? 0 : it->second;
}

void ExpectedTrace::Line(const char* format, unsigned port, unsigned value) {
    char text[48];
    std::snprintf(text, sizeof text, format, port, value);
    lines_.emplace_back(text);
}

void ExpectedTrace::Inb(std::uint16_t port, std::uint8_t value) {
    Line("inb 0x%03x 0x%02x", port, value);
}
void ExpectedTrace::Outb(std::uint16_t port, std::uint8_t value) {
    Line("outb 0x%03x 0x%02x", port, value);
}
void ExpectedTrace::Inw(std::uint16_t port, std::uint16_t value) {
    Line("inw 0x%03x 0x%04x", port, value);
}
void ExpectedTrace::Outw(std::uint16_t port, std::uint16_t value) {
    Line("outw 0x%03x 0x%04x", port, value);
}

ExpectedTrace& ExpectedTrace::SetBaseport() {
    Inb(kMiscOutputRead, card_.misc_output);
    card_.baseport = (card_.misc_output & 0x01) != 0 ? 0x3D4 : 0x3B4;
    return *this;
}

ExpectedTrace& ExpectedTrace::SaveIndexAndUnlock() {
    saved_index_ = card_.crtc_index;
    Inb(card_.baseport, card_.crtc_index);
    Outb(card_.baseport, kCr1f);
    Outb(static_cast<std::uint16_t>(card_.baseport + 1), kUnlock);
    card_.crtc_index = kCr1f;
    return *this;
}

ExpectedTrace& ExpectedTrace::RestoreIndex() {
    Outb(card_.baseport, saved_index_);
    card_.crtc_index = saved_index_;
    return *this;
}

ExpectedTrace& ExpectedTrace::IrqOff() {
    lines_.emplace_back("irq off");
    return *this;
}

ExpectedTrace& ExpectedTrace::IrqOn() {
    lines_.emplace_back("irq on");
    return *this;
}

void ExpectedTrace::WriteAddress(std::uint32_t address) {
    Outw(kWindowHigh, High(address));
    Outw(kWindowLow, Low(address));
    card_.window_address = address;
}

void ExpectedTrace::Open() {
    const std::uint16_t port = card_.baseport;
    Outb(port, kCr38);
    card_.crtc_index = kCr38;
    data2_ = static_cast<std::uint16_t>((card_.cr38 << 8) | kCr38);
    Inw(port, data2_);
    Outw(port, ModeWord(kReadMode));
    data3_ = Low(Register(card_.window_address));
    Inw(kWindowLow, data3_);
    Outw(port, ModeWord(kAddressMode));
    ldata1_ = card_.window_address;
    Inw(kWindowLow, Low(ldata1_));
    Inw(kWindowHigh, High(ldata1_));
}

void ExpectedTrace::Close() {
    const std::uint16_t port = card_.baseport;
    Outw(port, ModeWord(kAddressMode));
    WriteAddress(ldata1_);
    Outw(port, ModeWord(kWriteMode));
    Outw(kWindowLow, data3_);
    Outw(port, data2_);
    card_.cr38 = static_cast<std::uint8_t>(data2_ >> 8);
    card_.crtc_index = static_cast<std::uint8_t>(data2_ & 0xFF);
}

ExpectedTrace& ExpectedTrace::RegisterRead(std::uint32_t address) {
    Open();
    WriteAddress(address);
    Outw(card_.baseport, ModeWord(kReadMode));
    Inw(kWindowHigh, High(Register(address)));
    Inw(kWindowLow, Low(Register(address)));
    Close();
    return *this;
}

ExpectedTrace& ExpectedTrace::RegisterWrite(std::uint32_t address, std::uint32_t value) {
    Open();
    WriteAddress(address);
    Outw(card_.baseport, ModeWord(kWriteMode));
    Outw(kWindowLow, Low(value));
    Outw(kWindowHigh, High(value));
    card_.registers[address] = value;
    Close();
    return *this;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

hw::CardState StateFor(const CardModel& model) {
    hw::CardState state;
    state.misc_output = model.misc_output;
    state.crtc_index = model.crtc_index;
    state.extended_unlocked = true;
    state.crtc[0x1F] = 0x03;
    state.crtc[kCr38] = model.cr38;
    state.window_address = model.window_address;
    state.registers = model.registers;
    return state;
}

}  // namespace ruvuvuri::test
