// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "hw/backends/win_interrupt_bracket.h"
#include "hw/backends/win_port_instructions.h"
#include "hw/port_io.h"

namespace ruvuvuri::hw {

// Port access by the in/out instructions themselves, as both Windows families
// allow once the backend has opened; the physical-memory read is each
// family's own.
class WinDirectIo : public PortIo {
  public:
    explicit WinDirectIo(bool clear_interrupts) : bracket_(clear_interrupts) {}

    std::uint8_t inb(std::uint16_t port) override { return x86::InByte(port); }
    void outb(std::uint16_t port, std::uint8_t value) override { x86::OutByte(port, value); }
    std::uint16_t inw(std::uint16_t port) override { return x86::InWord(port); }
    void outw(std::uint16_t port, std::uint16_t value) override { x86::OutWord(port, value); }

    void DisableInterrupts() override { bracket_.Enter(); }
    void EnableInterrupts() override { bracket_.Leave(); }

  protected:
    WinInterruptBracket bracket_;
};

}  // namespace ruvuvuri::hw
