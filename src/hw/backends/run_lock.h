// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <chrono>
#include <string>

namespace ruvuvuri::hw {

// A folder of root's own under /run: only root can create, replace or remove
// the lock file in it, so no other user can hold, block or delete the lock.
inline constexpr const char* kRunLockFolder = "/run/ruvuvuri";
inline constexpr const char* kRunLockFileName = "card.lock";

// Serialises runs on the real card: two programs interleaving their register
// window sequences would corrupt each other's accesses. Holding the object
// holds an exclusive flock on the lock file, which the kernel releases when
// the process ends, however it ends. The folder is created (0700) when
// missing; neither it nor the file is ever followed as a symbolic link, and
// opening never blocks. A run that finds the lock taken waits up to `wait`.
// Every refusal throws PlatformError with one line that names the remedy.
class RunLock {
  public:
    explicit RunLock(const std::string& folder = kRunLockFolder,
                     std::chrono::milliseconds wait = std::chrono::seconds(5));
    ~RunLock();

    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

  private:
    int fd_ = -1;
};

}  // namespace ruvuvuri::hw
