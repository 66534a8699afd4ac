#include "hw/backends/trace.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <streambuf>

#include "base/error_text.h"
#include "base/printable.h"
#include "hw/platform_error.h"

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

namespace {

// One write(2) of the whole text with SIGPIPE held off: a reader that has gone
// away shows as EPIPE, and the SIGPIPE that the write raised is taken back
// unless one was already pending from elsewhere. Returns 0 or the errno.
int WriteWithoutSigpipe(int fd, const char* data, std::size_t size) {
    sigset_t pipe_only, saved, pending;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_only, &saved);
    sigpending(&pending);
    const bool already_pending = sigismember(&pending, SIGPIPE) == 1;
    int error = 0;
    while (size > 0) {
        const ssize_t wrote = ::write(fd, data, size);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            error = wrote < 0 ? errno : EIO;
            break;
        }
        data += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    if (error == EPIPE && !already_pending) {
        const timespec now = {0, 0};
        sigtimedwait(&pipe_only, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    return error;
}

std::string TraceName(const std::string& path) {
    return "the trace file \"" + base::Printable(path) + "\"";
}

}  // namespace

// A stream buffer over the trace's descriptor that remembers the first write
// error instead of failing the stream, so the decorator never sees an error.
class TraceFile::Buffer final : public std::streambuf {
  public:
    explicit Buffer(int fd) : fd_(fd) { setp(data_, data_ + sizeof data_); }
    ~Buffer() override {
        sync();
        ::close(fd_);
    }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    int error() const { return error_; }

  protected:
    int_type overflow(int_type c) override {
        Drain();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override {
        Drain();
        return 0;
    }

  private:
    void Drain() {
        const auto size = static_cast<std::size_t>(pptr() - pbase());
        if (size > 0 && error_ == 0) {
            error_ = WriteWithoutSigpipe(fd_, pbase(), size);
        }
        setp(data_, data_ + sizeof data_);
    }

    int fd_;
    int error_ = 0;
    char data_[65536];
};

TraceFile::TraceFile(const std::string& path) : path_(path) {
    // Non-blocking, so that opening a FIFO without a reader (or a device that
    // waits for a carrier) fails at once instead of hanging the run.
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        if (error == ENXIO) {
            throw PlatformError("cannot write " + TraceName(path) +
                                ": it is a FIFO or socket that no program is reading; start the "
                                "reader first or give --trace a regular file");
        }
        throw PlatformError("cannot write " + TraceName(path) + " (" + base::ErrorText(error) +
                            "); give --trace a path in a writable folder");
    }
    // A pipe with a reader is written like any pipe: the reader sets the pace.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    buffer_ = std::make_unique<Buffer>(fd);
    stream_ = std::make_unique<std::ostream>(buffer_.get());
}

TraceFile::~TraceFile() {
    stream_.reset();
    buffer_.reset();
}

std::ostream& TraceFile::stream() {
    return *stream_;
}

void TraceFile::CheckWritten() {
    stream_->flush();
    if (const int error = buffer_->error(); error != 0) {
        throw PlatformError("cannot write " + TraceName(path_) + " (" + base::ErrorText(error) +
                            "); the trace of this run is incomplete, although the run itself "
                            "went through; free space there or give --trace another path");
    }
}

}  // namespace ruvuvuri::hw
