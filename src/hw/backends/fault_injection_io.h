#pragma once

#include <chrono>
#include <functional>

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
    static void Sleep(std::chrono::microseconds delay);

    FaultInjectionIo(PortIo& card, FaultInjection faults, Wait wait = Sleep)
        : card_(card), faults_(std::move(faults)), wait_(std::move(wait)) {}

    std::uint8_t inb(std::uint16_t port) override;
    void outb(std::uint16_t port, std::uint8_t value) override;
    std::uint16_t inw(std::uint16_t port) override;
    void outw(std::uint16_t port, std::uint16_t value) override;
    void ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) override {
        card_.ReadFromPhysicalMemory(address, dest);
    }
    void DisableInterrupts() override;
    void EnableInterrupts() override { card_.EnableInterrupts(); }

  private:
    void Delay() const;

    PortIo& card_;
    const FaultInjection faults_;
    const Wait wait_;
};

}  // namespace ruvuvuri::hw
