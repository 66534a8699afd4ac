// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "hw/platform_error.h"
#include "hw/port_io.h"

namespace ruvuvuri::hw {

// Records every access in trace format 1, one event per line in lowercase hex
// ("outw 0x3d4 0x0338", "mem 0xc0000 8192", "irq off"), after the header line
// "# ruvuvuri trace 1". The stream is flushed only when the bracket opens
// (before "irq off"), when it closes and on destruction: with a buffer that
// holds a whole bracket's lines, tracing adds no system call inside the bracket.
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

// The file a trace is appended to. A write error does not stop the run (it may
// come in the middle of a hardware sequence, which must be completed): the
// first one is kept, later output is dropped, and CheckWritten() reports it
// once the run's hardware work is done. A reader that has gone away is such an
// error too, not a SIGPIPE that would end the run half way.
class TraceFile {
  public:
    // Appends, creating the file if needed. Never waits: a FIFO that no program
    // reads is refused. Throws PlatformError naming the path and the remedy.
    explicit TraceFile(const std::string& path);
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    std::ostream& stream() { return stream_; }
    // Flushes, then throws PlatformError if any part of the trace could not
    // be written (a full disk, /dev/full, a reader that went away).
    void CheckWritten();

  private:
    class Buffer;

    std::string path_;
    std::unique_ptr<Buffer> buffer_;
    std::ostream stream_;
};

}  // namespace ruvuvuri::hw
