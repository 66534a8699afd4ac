// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/write_all.h"

#include <unistd.h>

#include <cerrno>

namespace ruvuvuri::hw {

int WriteAll(int fd, const void* data, std::size_t size) {
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
