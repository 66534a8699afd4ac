// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <span>

namespace ruvuvuri::hw {

// Every port access, the video BIOS read and the interrupt bracket go through
// it, so the same logic runs on the real ports, the simulated card or under a
// recording decorator. Port first, value second, in every signature.
class PortIo {
  public:
    virtual ~PortIo() = default;

    virtual std::uint8_t inb(std::uint16_t port) = 0;
    virtual void outb(std::uint16_t port, std::uint8_t value) = 0;
    // A 16-bit access covers `port` (low byte) and `port + 1` (high byte).
    virtual std::uint16_t inw(std::uint16_t port) = 0;
    virtual void outw(std::uint16_t port, std::uint16_t value) = 0;

    // Copies dest.size() bytes of physical memory starting at `address`. A read
    // that cannot be satisfied leaves the unread part of `dest` as it was.
    virtual void ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) = 0;

    // Bracket a sequence that must not be interrupted half way (the PLL update).
    // Inside the bracket: port accesses only, no allocation, no logging, no
    // system call.
    virtual void DisableInterrupts() = 0;
    virtual void EnableInterrupts() = 0;
};

// The interrupt bracket as a scope: open from construction to destruction, so
// that it closes on every way out of the sequence, an exception included.
class InterruptBracket {
  public:
    explicit InterruptBracket(PortIo& io) : io_(io) { io_.DisableInterrupts(); }
    ~InterruptBracket() { io_.EnableInterrupts(); }
    InterruptBracket(const InterruptBracket&) = delete;
    InterruptBracket& operator=(const InterruptBracket&) = delete;

  private:
    PortIo& io_;
};

}  // namespace ruvuvuri::hw
