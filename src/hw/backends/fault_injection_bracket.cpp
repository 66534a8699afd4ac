// SPDX-License-Identifier: GPL-2.0-or-later
#include <pthread.h>

#include <csignal>

#include "hw/backends/fault_injection_io.h"

namespace ruvuvuri::hw {

void FaultInjectionIo::DisableInterrupts() {
    if (!faults_.bracket_ignores_signals) {
        card_.DisableInterrupts();
        return;
    }
    // A platform that cannot hold signals off: the mask the bracket set is
    // put back as it was, and EnableInterrupts later restores that same mask.
    sigset_t before;
    pthread_sigmask(SIG_SETMASK, nullptr, &before);
    card_.DisableInterrupts();
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

}  // namespace ruvuvuri::hw
