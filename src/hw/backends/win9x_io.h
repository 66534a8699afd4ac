// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>

#include "hw/port_io.h"

namespace ruvuvuri::hw {

// Windows 95/98/ME: a Win32 program may execute in/out on the VGA ports with no
// set-up, and the first megabyte of physical memory is mapped at the same
// linear addresses in every process, so the video BIOS is read in place.
std::unique_ptr<PortIo> OpenWin9xIo();

}  // namespace ruvuvuri::hw
