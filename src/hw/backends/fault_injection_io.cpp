// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/fault_injection_io.h"

#include <thread>

namespace ruvuvuri::hw {

void FaultInjectionIo::Sleep(std::chrono::microseconds delay) {
    std::this_thread::sleep_for(delay);
}

PortIo& FaultInjectionIo::AfterDelay() {
    if (faults_.access_delay_us != 0) {
        wait_(std::chrono::microseconds(faults_.access_delay_us));
    }
    return card_;
}

}  // namespace ruvuvuri::hw
