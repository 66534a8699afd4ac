// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace ruvuvuri::hw {

// A folder of root's own under /run: only root can create, replace or remove
// the lock file in it, so no other user can hold, block or delete the lock.
inline constexpr const char* kRunLockFolder = "/run/ruvuvuri";
inline constexpr const char* kRunLockFileName = "card.lock";

struct RunLockPlace {
    std::string folder = kRunLockFolder;
    uid_t owner = 0;  // who must own the folder and the file
};

// Serialises runs on the real card: two programs interleaving their register
// window sequences would corrupt each other's accesses. Holding the object
// holds an exclusive flock on the lock file; it is released on destruction (or
// by the kernel when the process ends, however it ends). The file is never
// removed, so a waiting run and the holder always lock the same file.
//
// The folder is created (0700) when missing. Opening never follows a symbolic
// link and never blocks; the folder must be owned by `owner` and closed to
// others' writes, the file must be a regular file owned by `owner`. A run that
// finds the lock taken waits up to `wait`, trying again every
// `poll_interval`. Every refusal throws PlatformError with a one-line
// message that names the path and the remedy.
class RunLock {
  public:
    explicit RunLock(const RunLockPlace& place = {},
                     std::chrono::milliseconds wait = std::chrono::seconds(5),
                     std::chrono::milliseconds poll_interval = std::chrono::milliseconds(50));
    ~RunLock();

    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

  private:
    int fd_ = -1;
};

}  // namespace ruvuvuri::hw
