#include "hw/backends/fault_injection_io.h"

#include <pthread.h>

#include <csignal>
#include <thread>

namespace ruvuvuri::hw {

void FaultInjectionIo::Sleep(std::chrono::microseconds delay) {
    std::this_thread::sleep_for(delay);
}

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

PortIo& FaultInjectionIo::AfterDelay() {
    if (faults_.access_delay_us != 0) {
        wait_(std::chrono::microseconds(faults_.access_delay_us));
    }
    return card_;
}

}  // namespace ruvuvuri::hw
