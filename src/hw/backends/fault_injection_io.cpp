#include "hw/backends/fault_injection_io.h"

#include <pthread.h>

#include <csignal>
#include <thread>

namespace ruvuvuri::hw {

void FaultInjectionIo::Sleep(std::chrono::microseconds delay) {
    std::this_thread::sleep_for(delay);
}

// The card still sees a read of a hung card (a data-mode read is a register
// read); only the answer is lost on the bus.
std::uint8_t FaultInjectionIo::inb(std::uint16_t port) {
    Delay();
    const std::uint8_t value = card_.inb(port);
    return faults_.reads_all_ones ? 0xFF : value;
}

void FaultInjectionIo::outb(std::uint16_t port, std::uint8_t value) {
    Delay();
    card_.outb(port, value);
}

std::uint16_t FaultInjectionIo::inw(std::uint16_t port) {
    Delay();
    const std::uint16_t value = card_.inw(port);
    return faults_.reads_all_ones ? 0xFFFF : value;
}

void FaultInjectionIo::outw(std::uint16_t port, std::uint16_t value) {
    Delay();
    card_.outw(port, value);
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

void FaultInjectionIo::Delay() const {
    if (faults_.access_delay_us != 0) {
        wait_(std::chrono::microseconds(faults_.access_delay_us));
    }
}

}  // namespace ruvuvuri::hw
