// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <set>

#include "hw/backends/sim_card.h"

namespace ruvuvuri::test {

// The bus misbehaving around a simulated card, the way a real one can: every
// port read all ones (a card that is absent or hung; the BIOS, in system
// memory, still reads), and card registers that drop their writes (the card
// keeps the old value; the model still checks the write for protocol faults).
class FaultyBus final : public hw::PortIo {
  public:
    explicit FaultyBus(hw::SimCard& card) : card_(card) {}

    bool reads_all_ones = false;
    std::set<std::uint32_t> ignore_writes;

    std::uint8_t inb(std::uint16_t port) override { return Answer(card_.inb(port)); }
    void outb(std::uint16_t port, std::uint8_t value) override {
        Keeping([&] { card_.outb(port, value); });
    }
    std::uint16_t inw(std::uint16_t port) override { return Answer(card_.inw(port)); }
    void outw(std::uint16_t port, std::uint16_t value) override {
        Keeping([&] { card_.outw(port, value); });
    }
    void ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) override {
        card_.ReadFromPhysicalMemory(address, dest);
    }
    void DisableInterrupts() override { card_.DisableInterrupts(); }
    void EnableInterrupts() override { card_.EnableInterrupts(); }

  private:
    template <typename Value>
    Value Answer(Value value) const {
        return reads_all_ones ? static_cast<Value>(~Value{0}) : value;
    }
    // A port write that completes a register write leaves an ignoring
    // register as it was.
    template <typename Write>
    void Keeping(Write write) {
        auto& registers = card_.state().registers;
        std::set<std::pair<std::uint32_t, std::uint32_t>> kept;
        for (const std::uint32_t address : ignore_writes) {
            kept.emplace(address, registers[address]);
        }
        write();
        for (const auto& [address, value] : kept) {
            registers[address] = value;
        }
    }

    hw::SimCard& card_;
};

}  // namespace ruvuvuri::test
