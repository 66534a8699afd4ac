// SPDX-License-Identifier: GPL-2.0-or-later
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "base/error_text.h"
#include "hw/backends/trace.h"
#include "hw/backends/write_all.h"

namespace ruvuvuri::hw {

std::intptr_t TraceFile::Open(const std::string& path) {
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
// unless one was already pending from elsewhere.
unsigned long TraceFile::Write(std::intptr_t file, const char* data, std::size_t size) {
    sigset_t pipe_only, saved, pending;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_only, &saved);
    sigpending(&pending);
    const bool already_pending = sigismember(&pending, SIGPIPE) == 1;
    const int error = WriteAll(static_cast<int>(file), data, size);
    if (error == EPIPE && !already_pending) {
        const timespec now = {0, 0};
        sigtimedwait(&pipe_only, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    return static_cast<unsigned long>(error);
}

void TraceFile::Close(std::intptr_t file) {
    ::close(static_cast<int>(file));
}

std::string TraceFile::ErrorText(unsigned long error) {
    return base::ErrorText(static_cast<int>(error));
}

}  // namespace ruvuvuri::hw
