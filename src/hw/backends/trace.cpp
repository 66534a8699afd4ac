// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/trace.h"

#include <algorithm>
#include <cstdio>
#include <streambuf>

#include "base/printable.h"

namespace ruvuvuri::hw {

namespace {

// Longest line: "mem 0xffffffff 18446744073709551615\n" is well under this.
constexpr std::size_t kLineSize = 64;

// Every line is formatted into a stack buffer and handed to the stream, so a
// traced access costs no allocation and, while the stream's buffer has room, no
// system call either.
template <typename... Args>
void Emit(std::ostream& out, const char* format, Args... args) {
    char line[kLineSize];
    const int length = std::snprintf(line, sizeof line, format, args...);
    if (length > 0) {
        out.write(line, std::min<std::streamsize>(length, kLineSize - 1));
    }
}

template <typename Value>
Value EmitAccess(std::ostream& out, const char* format, std::uint16_t port, Value value) {
    Emit(out, format, static_cast<unsigned>(port), static_cast<unsigned>(value));
    return value;
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
    return EmitAccess(out_, "inb 0x%03x 0x%02x\n", port, inner_.inb(port));
}

void TraceIo::outb(std::uint16_t port, std::uint8_t value) {
    inner_.outb(port, EmitAccess(out_, "outb 0x%03x 0x%02x\n", port, value));
}

std::uint16_t TraceIo::inw(std::uint16_t port) {
    return EmitAccess(out_, "inw 0x%03x 0x%04x\n", port, inner_.inw(port));
}

void TraceIo::outw(std::uint16_t port, std::uint16_t value) {
    inner_.outw(port, EmitAccess(out_, "outw 0x%03x 0x%04x\n", port, value));
}

void TraceIo::ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) {
    Emit(out_, "mem 0x%x %zu\n", static_cast<unsigned>(address), dest.size());
    inner_.ReadFromPhysicalMemory(address, dest);
}

void TraceIo::DisableInterrupts() {
    // Whatever earlier accesses left in the buffer goes out now, so that the
    // bracket's own lines fit in it and no write system call falls inside.
    out_.flush();
    EmitLiteral(out_, "irq off\n");
    inner_.DisableInterrupts();
}

void TraceIo::EnableInterrupts() {
    inner_.EnableInterrupts();
    EmitLiteral(out_, "irq on\n");
    // The bracket's lines, in one write once it has closed.
    out_.flush();
}

// A stream buffer over the trace's file that remembers the first write error
// instead of failing the stream, so the decorator never sees an error.
class TraceFile::Buffer final : public std::streambuf {
  public:
    explicit Buffer(std::intptr_t file) : file_(file) { setp(data_, data_ + sizeof data_); }
    ~Buffer() override {
        sync();
        Close(file_);
    }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    unsigned long error() const { return error_; }

  protected:
    int_type overflow(int_type c) override {
        sync();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override {
        const auto size = static_cast<std::size_t>(pptr() - pbase());
        if (size > 0 && error_ == 0) {
            error_ = Write(file_, pbase(), size);
        }
        setp(data_, data_ + sizeof data_);
        return 0;
    }

  private:
    std::intptr_t file_;
    unsigned long error_ = 0;
    char data_[65536];
};

TraceFile::TraceFile(const std::string& path)
    : path_(path),
      buffer_(std::make_unique<Buffer>(Open(path))),
      stream_(std::make_unique<std::ostream>(buffer_.get())) {}

TraceFile::~TraceFile() = default;

void TraceFile::CheckWritten() {
    stream_->flush();
    if (const unsigned long error = buffer_->error(); error != 0) {
        throw CannotWrite(path_, " (" + ErrorText(error) +
                                     "); the trace of this run is incomplete, although the run "
                                     "itself went through; free space there or give --trace "
                                     "another path");
    }
}

PlatformError TraceFile::CannotWrite(const std::string& path, const std::string& why) {
    return PlatformError("cannot write the trace file \"" + base::Printable(path) + "\"" + why);
}

}  // namespace ruvuvuri::hw
