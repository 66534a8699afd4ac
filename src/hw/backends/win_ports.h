// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <chrono>
#include <memory>

#include "hw/backend.h"
#include "hw/platform_error.h"
#include "hw/port_io.h"

namespace ruvuvuri::hw {

// The real card on Windows, one record per family (OpenWinNtIo, refusing
// 64-bit Windows, and OpenWin9xIo), each held with the hardware lock.
extern const BackendRecord kWinNtPortsBackend;
extern const BackendRecord kWin95PortsBackend;

// Windows 2000/XP (32-bit): the video BIOS through a read-only view of
// \Device\PhysicalMemory, the ports through the process's I/O privilege level
// raised to 3 (which also lets the interrupt bracket execute cli/sti). Needs an
// administrator; throws PlatformError with one clear sentence for each refusal
// (not an administrator, no Tcb privilege, a kernel that does not map physical
// memory or grant IOPL). Nothing is written to any port before it returns.
std::unique_ptr<PortIo> OpenWinNtIo();

// Windows 95/98/ME: a Win32 program may execute in/out on the VGA ports with no
// set-up, and the first megabyte of physical memory is mapped at the same
// linear addresses in every process, so the video BIOS is read in place.
std::unique_ptr<PortIo> OpenWin9xIo();

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
