#include "hw/backends/hardware_io.h"
#include "hw/backends/linux_io.h"

namespace ruvuvuri::hw {

std::unique_ptr<PortIo> OpenHardwareIo() {
    return OpenLinuxIo();
}

}  // namespace ruvuvuri::hw
