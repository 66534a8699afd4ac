// SPDX-License-Identifier: GPL-2.0-or-later
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <streambuf>

#include "base/error_text.h"
#include "base/printable.h"
#include "hw/backends/trace.h"
#include "hw/platform_error.h"

namespace ruvuvuri::hw {

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
