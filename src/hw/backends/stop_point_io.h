// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <csignal>
#include <functional>

#include "base/signal_block.h"
#include "hw/port_io.h"

namespace ruvuvuri::hw {

// The simulated platform's side of the interrupt bracket, around the card
// model: the bracket holds off every blockable signal, as LinuxIo's does, and
// the run may stop at fixed points.
//
// The card stands for hardware whose state outlives the process, so a run
// that is told to stop has to stop where real hardware would keep a
// consistent state. A stop point is the start of every port access, the start
// of DisableInterrupts (before the bracket opens) and the moment after
// EnableInterrupts has restored the signal mask: there the hook runs when
// `*pending` is non-zero. A signal held off by the bracket therefore stops the
// run only once the bracket has closed. The hook normally does not return;
// when it does, the access goes on. Calling it costs no allocation.
class StopPointIo final : public PortIo {
  public:
    explicit StopPointIo(PortIo& card) : card_(card) {}

    // Set it once, outside any bracket.
    using StopHook = std::function<void()>;
    void set_stop_point(const volatile std::sig_atomic_t* pending, StopHook hook);
    // Non-zero exactly while the bracket is open; a signal handler may read it
    // to tell whether it runs inside the bracket (which the bracket should have
    // made impossible).
    const volatile std::sig_atomic_t* bracket_open_flag() const { return &bracket_open_; }

    std::uint8_t inb(std::uint16_t port) override { return AfterStopPoint().inb(port); }
    void outb(std::uint16_t port, std::uint8_t value) override {
        AfterStopPoint().outb(port, value);
    }
    std::uint16_t inw(std::uint16_t port) override { return AfterStopPoint().inw(port); }
    void outw(std::uint16_t port, std::uint16_t value) override {
        AfterStopPoint().outw(port, value);
    }
    void ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) override {
        card_.ReadFromPhysicalMemory(address, dest);
    }
    void DisableInterrupts() override;
    void EnableInterrupts() override;

  private:
    bool StopPending() const { return stop_pending_ != nullptr && *stop_pending_ != 0; }
    void StopPoint();
    PortIo& AfterStopPoint() {
        StopPoint();
        return card_;
    }

    PortIo& card_;
    base::SignalBlock signals_;
    volatile std::sig_atomic_t bracket_open_ = 0;
    const volatile std::sig_atomic_t* stop_pending_ = nullptr;
    StopHook stop_hook_;
};

}  // namespace ruvuvuri::hw
