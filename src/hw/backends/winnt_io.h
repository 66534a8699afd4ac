// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>

#include "hw/platform_error.h"
#include "hw/port_io.h"

namespace ruvuvuri::hw {

// Windows 2000/XP (32-bit): the video BIOS through a read-only view of
// \Device\PhysicalMemory, the ports through the process's I/O privilege level
// raised to 3 (which also lets the interrupt bracket execute cli/sti). Needs an
// administrator; throws PlatformError with one clear sentence for each refusal
// (not an administrator, no Tcb privilege, a kernel that does not map physical
// memory or grant IOPL). Nothing is written to any port before it returns.
std::unique_ptr<PortIo> OpenWinNtIo();

}  // namespace ruvuvuri::hw
