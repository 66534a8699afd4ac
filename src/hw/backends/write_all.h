// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace ruvuvuri::hw {

// Writes all `size` bytes to a POSIX descriptor, carrying on after a signal
// interrupts a write. Returns 0, or the error of the write that stopped it
// (EIO for one that wrote nothing), which is also left in errno.
inline int WriteAll(int fd, const void* data, std::size_t size) {
    const auto* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t wrote = ::write(fd, next, size);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            if (wrote == 0) {
                errno = EIO;
            }
            return errno;
        }
        next += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    return 0;
}

}  // namespace ruvuvuri::hw
