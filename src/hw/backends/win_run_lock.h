// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <chrono>

namespace ruvuvuri::hw {

// Serialises runs on the real card on Windows through a named mutex, which
// Windows releases when the process ends, however it ends (as the kernel
// releases the flock of the POSIX run lock). On the NT family the name lives
// in the global name space, so runs in different sessions see each other. A
// run that finds the card taken waits up to `wait`, then throws PlatformError.
class WinRunLock {
  public:
    explicit WinRunLock(std::chrono::milliseconds wait = std::chrono::seconds(5));
    ~WinRunLock();
    WinRunLock(const WinRunLock&) = delete;
    WinRunLock& operator=(const WinRunLock&) = delete;

  private:
    void* mutex_ = nullptr;
};

}  // namespace ruvuvuri::hw
