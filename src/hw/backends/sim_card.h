// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hw/backend.h"
#include "hw/port_io.h"

namespace ruvuvuri::hw {

// What a profile loads and saves; the device model in SimCard gives it meaning.
struct CardState {
    std::string description;
    std::string bios_path;           // as the profile names it (relative to the profile's folder)
    std::vector<std::uint8_t> bios;  // the image at physical 0xC0000; reads beyond it are zero

    std::uint8_t misc_output = 0x67;  // bit 0 set: CRT controller at 0x3D4, clear: 0x3B4
    std::uint8_t crtc_index = 0x00;
    // Extended registers (index 0x19 and above) readable. CR1F in `crtc` keeps
    // what it reads back: 0x01 marks the read-only unlock (0x75 written), any
    // other value with `extended_unlocked` the full one (0x57 written).
    bool extended_unlocked = false;
    std::map<std::uint8_t, std::uint8_t> crtc;  // every CRT controller register given or written

    std::uint32_t window_address = 0;
    std::uint16_t window_latch = 0;
    std::map<std::uint32_t, std::uint32_t> registers;  // every card register given, read or written

    std::vector<std::string> faults;       // one line per protocol violation the model detected
    std::optional<StartedClocks> started;  // as the profile's first run read the card
};

// An NV1x/NV2x GeForce as seen through the legacy VGA ports: the CRT controller
// pair, the CR1F lock, the CR38 register window at 0x3D0-0x3D3 with the card
// registers behind it, and the video BIOS at 0xC0000. Each protocol violation
// is recorded in state().faults. Its interrupt bracket is only a flag that the
// checks of PLL writes read.
class SimCard final : public PortIo {
  public:
    explicit SimCard(CardState state = {}) : state_(std::move(state)) {}

    std::uint8_t inb(std::uint16_t port) override;
    void outb(std::uint16_t port, std::uint8_t value) override;
    std::uint16_t inw(std::uint16_t port) override;
    void outw(std::uint16_t port, std::uint16_t value) override;
    void ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) override;
    void DisableInterrupts() override;
    void EnableInterrupts() override;

    const CardState& state() const { return state_; }
    CardState& state() { return state_; }
    bool interrupts_disabled() const { return interrupts_disabled_; }

  private:
    std::uint16_t CrtcIndexPort() const;
    std::uint8_t Crtc(std::uint8_t index) const;  // a CRT controller register as stored
    bool ReadOnlyUnlock() const;
    bool WindowAnswers(std::uint16_t port, const char* access);
    std::uint8_t ReadWindow(unsigned byte);
    void WriteWindow(unsigned byte, std::uint8_t value);
    void WriteRegister(std::uint32_t address, std::uint32_t value);
    void Fault(const char* format, ...) __attribute__((format(printf, 2, 3)));

    CardState state_;
    bool interrupts_disabled_ = false;
    std::uint8_t data_bytes_[4] = {};  // bytes written in data mode, committed on byte 3
};

}  // namespace ruvuvuri::hw
