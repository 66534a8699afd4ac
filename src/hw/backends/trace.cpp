// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/trace.h"

#include <algorithm>
#include <cstdio>
#include <streambuf>

#include "base/printable.h"

#ifdef _WIN32
#include <windows.h>

#include "base/win_error_text.h"
#else
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "base/error_text.h"
#include "hw/backends/write_all.h"
#endif

namespace ruvuvuri::hw {

namespace {

// Through a stack buffer, so a traced access costs no allocation and, while the
// stream's buffer has room, no system call either.
template <typename... Args>
void Emit(std::ostream& out, const char* format, Args... args) {
    char line[64];  // the longest, "mem 0xffffffff 18446744073709551615\n", is well under
    const int length = std::snprintf(line, sizeof line, format, args...);
    if (length > 0) {
        out.write(line, std::min<std::streamsize>(length, sizeof line - 1));
    }
}

template <typename Value>
Value EmitAccess(std::ostream& out, const char* format, std::uint16_t port, Value value) {
    Emit(out, format, static_cast<unsigned>(port), static_cast<unsigned>(value));
    return value;
}

}  // namespace

TraceIo::TraceIo(PortIo& inner, std::ostream& out) : inner_(inner), out_(out) {
    out_ << "# ruvuvuri trace 1\n";
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
    out_ << "irq off\n";
    inner_.DisableInterrupts();
}

void TraceIo::EnableInterrupts() {
    inner_.EnableInterrupts();
    out_ << "irq on\n";
    // The bracket's lines, in one write once it has closed.
    out_.flush();
}

namespace {

PlatformError CannotWrite(const std::string& path, const std::string& why) {
    return PlatformError("cannot write the trace file \"" + base::Printable(path) + "\"" + why);
}

#ifdef _WIN32
// Through the ANSI file functions, which the 95 family implements. Windows
// raises no signal for a write to a closed pipe: a failed write is simply kept
// as the first error.
using File = HANDLE;

HANDLE Open(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw CannotWrite(path, " (" + base::WinErrorText(GetLastError()) +
                                    "); give --trace a path in a writable folder");
    }
    return file;
}

// The whole text, or the system's error code.
unsigned long Write(HANDLE file, const char* data, std::size_t size) {
    while (size > 0) {
        // Appended at the end, as O_APPEND does, whoever else writes there.
        SetFilePointer(file, 0, nullptr, FILE_END);
        DWORD wrote = 0;
        if (!WriteFile(file, data, static_cast<DWORD>(size), &wrote, nullptr) || wrote == 0) {
            return GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
        }
        data += wrote;
        size -= wrote;
    }
    return 0;
}

void Close(HANDLE file) {
    CloseHandle(file);
}

std::string ErrorText(unsigned long error) {
    return base::WinErrorText(error);
}
#else
using File = int;

int Open(const std::string& path) {
    // Non-blocking, so that opening a FIFO without a reader (or a device that
    // waits for a carrier) fails at once instead of hanging the run.
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        if (error == ENXIO) {
            throw CannotWrite(path,
                              ": it is a FIFO or socket that no program is reading; start the "
                              "reader first or give --trace a regular file");
        }
        throw CannotWrite(
            path, " (" + base::ErrorText(error) + "); give --trace a path in a writable folder");
    }
    // A pipe with a reader is written like any pipe: the reader sets the pace.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    return fd;
}

// One write(2) of the whole text with SIGPIPE held off: a reader that has gone
// away shows as EPIPE, and the SIGPIPE that the write raised is taken back
// unless one was already pending from elsewhere. Returns 0 or the errno.
unsigned long Write(int fd, const char* data, std::size_t size) {
    sigset_t pipe_only, saved, pending;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_only, &saved);
    sigpending(&pending);
    const bool already_pending = sigismember(&pending, SIGPIPE) == 1;
    const int error = WriteAll(fd, data, size);
    if (error == EPIPE && !already_pending) {
        const timespec now = {0, 0};
        sigtimedwait(&pipe_only, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    return static_cast<unsigned long>(error);
}

void Close(int fd) {
    ::close(fd);
}

std::string ErrorText(unsigned long error) {
    return base::ErrorText(static_cast<int>(error));
}
#endif

}  // namespace

// A stream buffer over the trace's file that remembers the first write error
// instead of failing the stream, so the decorator never sees an error.
class TraceFile::Buffer final : public std::streambuf {
  public:
    explicit Buffer(File file) : file_(file) { setp(data_, data_ + sizeof data_); }
    ~Buffer() override {
        sync();
        Close(file_);
    }

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
    File file_;
    unsigned long error_ = 0;
    char data_[65536];
};

TraceFile::TraceFile(const std::string& path)
    : path_(path), buffer_(std::make_unique<Buffer>(Open(path))), stream_(buffer_.get()) {}

TraceFile::~TraceFile() = default;

void TraceFile::CheckWritten() {
    stream_.flush();
    if (const unsigned long error = buffer_->error(); error != 0) {
        throw CannotWrite(path_, " (" + ErrorText(error) +
                                     "); the trace of this run is incomplete, although the run "
                                     "itself went through; free space there or give --trace "
                                     "another path");
    }
}

}  // namespace ruvuvuri::hw
