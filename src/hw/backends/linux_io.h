// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "hw/backend.h"
#include "hw/platform_error.h"
#include "hw/port_io.h"

namespace ruvuvuri::hw {

// The VGA ports 0x3B0-0x3DF through ioperm, the video BIOS through /dev/mem and
// the RealtimeBracket. Throws PlatformError naming the cause and the remedy (no
// permission, no /dev/mem, not an x86 machine).
std::unique_ptr<PortIo> OpenLinuxIo();

// `error` is the errno of the failed call.
std::string DescribePortAccessFailure(int error);
std::string DescribeMemoryDeviceFailure(int error);
std::string DescribeNotX86();

// A folder of root's own under /run: only root can create, replace or remove
// the lock file in it, so no other user can hold, block or delete the lock.
inline constexpr const char* kRunLockFolder = "/run/ruvuvuri";
inline constexpr const char* kRunLockFileName = "card.lock";

// An exclusive flock on the lock file, which the kernel releases when the
// process ends, however it ends. The folder is created (0700) when missing;
// neither it nor the file is ever followed as a symbolic link, and opening never
// blocks. A run that finds the lock taken waits up to `wait`. Every refusal
// throws PlatformError with one line that names the remedy.
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

extern const BackendRecord kLinuxPortsBackend;

}  // namespace ruvuvuri::hw
