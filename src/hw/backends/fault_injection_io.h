// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <thread>
#include <utility>

#include "hw/backends/card_state.h"
#include "hw/port_io.h"

namespace ruvuvuri::hw {

// The bus misbehaving around a simulated card, as the profile's "inject"
// object asks (see FaultInjection): all-ones reads, slow port accesses, and a
// bracket that lets signals through. Stacked on the card's StopPointIo, so that
// a slow access is slow before its stop point, as on a slow bus, and so that
// it can undo the bracket's hold on signals. Dropped register writes are the
// card's doing (SimCard).
class FaultInjectionIo final : public PortIo {
  public:
    // How an access waits out the delay; tests watch it instead of a clock.
    using Wait = std::function<void(std::chrono::microseconds)>;
    static void Sleep(std::chrono::microseconds delay) { std::this_thread::sleep_for(delay); }

    FaultInjectionIo(PortIo& card, FaultInjection faults, Wait wait = Sleep)
        : card_(card), faults_(std::move(faults)), wait_(std::move(wait)) {}

    // The card still sees a read of a hung card (a data-mode read is a
    // register read); only the answer is lost on the bus.
    std::uint8_t inb(std::uint16_t port) override { return OnTheBus(AfterDelay().inb(port)); }
    void outb(std::uint16_t port, std::uint8_t value) override { AfterDelay().outb(port, value); }
    std::uint16_t inw(std::uint16_t port) override { return OnTheBus(AfterDelay().inw(port)); }
    void outw(std::uint16_t port, std::uint16_t value) override { AfterDelay().outw(port, value); }
    void ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) override {
        card_.ReadFromPhysicalMemory(address, dest);
    }
    void DisableInterrupts() override;
    void EnableInterrupts() override { card_.EnableInterrupts(); }

  private:
    PortIo& AfterDelay() {
        if (faults_.access_delay_us != 0) {
            wait_(std::chrono::microseconds(faults_.access_delay_us));
        }
        return card_;
    }
    template <typename Value>
    Value OnTheBus(Value value) const {
        return faults_.reads_all_ones ? static_cast<Value>(~Value{0}) : value;
    }

    PortIo& card_;
    const FaultInjection faults_;
    const Wait wait_;
};

}  // namespace ruvuvuri::hw
