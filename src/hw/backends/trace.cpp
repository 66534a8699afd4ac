// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/trace.h"

#include <cstdio>
#include <ctime>

namespace ruvuvuri::hw {

namespace {

// Longest line: "mem 0xffffffff 18446744073709551615\n" is well under this.
constexpr std::size_t kLineSize = 64;

// Every line is formatted into a stack buffer and handed to the stream, so a
// traced access costs no allocation and, while the stream's buffer has room, no
// system call either.
void Emit(std::ostream& out, const char* line, int length) {
    if (length <= 0) {
        return;
    }
    const auto size = static_cast<std::size_t>(length) < kLineSize
                          ? static_cast<std::size_t>(length)
                          : kLineSize - 1;
    out.write(line, static_cast<std::streamsize>(size));
}

// One port access: the operation's format with the port and the value.
void EmitAccess(std::ostream& out, const char* format, std::uint16_t port, unsigned value) {
    char line[kLineSize];
    Emit(out, line, std::snprintf(line, sizeof line, format, static_cast<unsigned>(port), value));
}

template <std::size_t N>
void EmitLiteral(std::ostream& out, const char (&text)[N]) {
    out.write(text, static_cast<std::streamsize>(N - 1));
}

}  // namespace

TraceIo::TraceIo(PortIo& inner, std::ostream& out) : inner_(inner), out_(out) {
    EmitLiteral(out_, "# ruvuvuri trace 1\n");
}

TraceIo::~TraceIo() {
    out_.flush();
}

std::uint8_t TraceIo::inb(std::uint16_t port) {
    const std::uint8_t value = inner_.inb(port);
    EmitAccess(out_, "inb 0x%03x 0x%02x\n", port, value);
    return value;
}

void TraceIo::outb(std::uint16_t port, std::uint8_t value) {
    EmitAccess(out_, "outb 0x%03x 0x%02x\n", port, value);
    inner_.outb(port, value);
}

std::uint16_t TraceIo::inw(std::uint16_t port) {
    const std::uint16_t value = inner_.inw(port);
    EmitAccess(out_, "inw 0x%03x 0x%04x\n", port, value);
    return value;
}

void TraceIo::outw(std::uint16_t port, std::uint16_t value) {
    EmitAccess(out_, "outw 0x%03x 0x%04x\n", port, value);
    inner_.outw(port, value);
}

void TraceIo::ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) {
    char line[kLineSize];
    Emit(out_, line,
         std::snprintf(line, sizeof line, "mem 0x%x %zu\n", static_cast<unsigned>(address),
                       dest.size()));
    inner_.ReadFromPhysicalMemory(address, dest);
}

void TraceIo::DisableInterrupts() {
    EmitLiteral(out_, "irq off\n");
    inner_.DisableInterrupts();
}

void TraceIo::EnableInterrupts() {
    inner_.EnableInterrupts();
    EmitLiteral(out_, "irq on\n");
    // Flushing here, after the bracket has closed, keeps the file current
    // without a write system call between "irq off" and "irq on".
    out_.flush();
}

}  // namespace ruvuvuri::hw
