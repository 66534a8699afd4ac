// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>

namespace ruvuvuri::hw {

// Writes all `size` bytes to a POSIX descriptor, carrying on after a signal
// interrupts a write. Returns 0, or the error of the write that stopped it
// (EIO for one that wrote nothing), which is also left in errno.
int WriteAll(int fd, const void* data, std::size_t size);

}  // namespace ruvuvuri::hw
