// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>

#include "hw/backend.h"
#include "hw/platform_error.h"
#include "hw/port_io.h"

namespace ruvuvuri::hw {

// The real hardware on x86 Linux: the VGA ports 0x3B0-0x3DF through ioperm and
// the in/out instructions, the video BIOS through /dev/mem. User space cannot
// disable interrupts, so the bracket does the strongest thing the platform
// allows: every signal blocked, the thread at the highest real-time priority,
// memory locked; all restored afterwards.
//
// Opening acquires port access and the memory device; any failure (no
// permission, no /dev/mem, not an x86 machine) throws PlatformError whose
// message names the cause and the remedy.
std::unique_ptr<PortIo> OpenLinuxIo();

// The backend record of the real card: OpenLinuxIo() held with the hardware
// lock (run_lock), so that one run at a time drives the card.
extern const BackendRecord kLinuxPortsBackend;

}  // namespace ruvuvuri::hw
