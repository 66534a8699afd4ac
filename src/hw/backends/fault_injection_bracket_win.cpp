// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/fault_injection_io.h"

namespace ruvuvuri::hw {

// Windows runs no signal handler inside the bracket's thread, so the bracket
// holds nothing off there and a leaky one is the same bracket.
void FaultInjectionIo::DisableInterrupts() {
    card_.DisableInterrupts();
}

}  // namespace ruvuvuri::hw
