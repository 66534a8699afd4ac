// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <map>

#include "hw/backends/card_state.h"
#include "hw/backends/spare_nodes.h"
#include "hw/port_io.h"

namespace ruvuvuri::hw {

// A device model of a GeForce of the NV1x/NV2x era as seen through the legacy
// VGA ports: the CRT controller pair, the CR1F lock, the CR38 real-mode register
// window at 0x3D0-0x3D3 and the card registers behind it, and the video BIOS at
// 0xC0000. Drivers that misuse it are caught: each violation is recorded in
// state().faults. It models the card only: the platform's side of the
// interrupt bracket (signals held off, stop points) is StopPointIo, and the
// profile's injected misbehaviour is FaultInjectionIo, both stacked on top.
class SimCard final : public PortIo {
  public:
    explicit SimCard(CardState state = {});

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
    std::uint8_t ReadCrtcData();
    void WriteCrtcData(std::uint8_t value);
    bool ReadOnlyUnlock() const;
    bool WindowAnswers(std::uint16_t port, const char* access);
    std::uint8_t ReadWindow(unsigned byte);
    void WriteWindow(unsigned byte, std::uint8_t value);
    std::uint32_t ReadRegister(std::uint32_t address);
    void WriteRegister(std::uint32_t address, std::uint32_t value);
    void CheckBracket(const char* name, std::uint32_t address, std::uint32_t value);
    bool IgnoresWrites(std::uint32_t address) const;
    void Fault(const char* format, ...) __attribute__((format(printf, 2, 3)));

    CardState state_;
    bool interrupts_disabled_ = false;
    std::uint8_t data_bytes_[4] = {};  // bytes written in data mode, committed on byte 3
    SpareNodes<std::map<std::uint8_t, std::uint8_t>> spare_crtc_;
    SpareNodes<std::map<std::uint32_t, std::uint32_t>> spare_registers_;
};

}  // namespace ruvuvuri::hw
