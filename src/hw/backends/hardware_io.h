#pragma once

#include <memory>

#include "hw/platform_error.h"
#include "hw/port_io.h"

namespace ruvuvuri::hw {

// The real hardware of the platform the program runs on: the VGA ports, the
// video BIOS and the interrupt bracket. Throws PlatformError naming the cause
// and the remedy when the platform does not grant them.
std::unique_ptr<PortIo> OpenHardwareIo();

}  // namespace ruvuvuri::hw
