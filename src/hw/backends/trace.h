#pragma once

#include <ostream>

#include "hw/port_io.h"

namespace ruvuvuri::hw {

// Wraps any backend and records every access in the version-1 trace format:
// one event per line, lowercase hex ("inb 0x3cc 0x67", "outw 0x3d4 0x0338",
// "mem 0xc0000 8192", "irq off"). Construction writes the header line
// "# ruvuvuri trace 1". Lines go into the stream's buffer only, so tracing adds
// no system call inside the interrupt bracket; the stream is flushed when the
// bracket closes and when the decorator is destroyed.
class TraceIo final : public PortIo {
  public:
    TraceIo(PortIo& inner, std::ostream& out);
    ~TraceIo() override;

    std::uint8_t inb(std::uint16_t port) override;
    void outb(std::uint16_t port, std::uint8_t value) override;
    std::uint16_t inw(std::uint16_t port) override;
    void outw(std::uint16_t port, std::uint16_t value) override;
    void ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) override;
    void DisableInterrupts() override;
    void EnableInterrupts() override;

  private:
    PortIo& inner_;
    std::ostream& out_;
};

}  // namespace ruvuvuri::hw
