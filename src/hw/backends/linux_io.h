// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <string>

#include "hw/backend.h"
#include "hw/platform_error.h"
#include "hw/port_io.h"

namespace ruvuvuri::hw {

// The real hardware on x86 Linux: the VGA ports 0x3B0-0x3DF through ioperm and
// the in/out instructions, the video BIOS through /dev/mem, and the strongest
// interrupt bracket user space has (RealtimeBracket). Opening acquires port
// access and the memory device; any failure (no permission, no /dev/mem, not an
// x86 machine) throws PlatformError whose message names the cause and the remedy.
std::unique_ptr<PortIo> OpenLinuxIo();

// The one-line messages of those failures; `error` is the errno of the failed
// call.
std::string DescribePortAccessFailure(int error);
std::string DescribeMemoryDeviceFailure(int error);
std::string DescribeNotX86();

// The backend record of the real card: OpenLinuxIo() held with the hardware
// lock (run_lock), so that one run at a time drives the card.
extern const BackendRecord kLinuxPortsBackend;

}  // namespace ruvuvuri::hw
