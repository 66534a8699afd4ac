// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "hw/backends/sim_card.h"
#include "hw/backends/trace.h"
#include "hw/register_window.h"
#include "support/faulty_bus.h"

namespace ruvuvuri::test {

inline constexpr char kTraceHeader[] = "# ruvuvuri trace 1";

// What an expected trace needs to know of an (unlocked) card to predict every
// value read: the CRT controller port and index, CR38, the window address and
// the card registers. Registers not listed read as 0.
struct CardModel {
    std::uint8_t misc_output = 0x67;
    std::uint16_t baseport = 0x3D4;
    std::uint8_t crtc_index = 0x00;
    std::uint8_t cr38 = 0x00;
    std::uint32_t window_address = 0;
    std::map<std::uint32_t, std::uint32_t> registers;
};

// Builds the port-access list a sequence must produce, line by line in the
// trace format, straight from the VGA ports, the CR38 modes and the window
// protocol. It keeps its own copy of the card so that values read later
// reflect values written earlier.
class ExpectedTrace {
  public:
    explicit ExpectedTrace(CardModel card);

    // Misc output read; the CRT controller port follows bit 0.
    ExpectedTrace& SetBaseport();
    // Index saved, CR1F unlocked with 0x57.
    ExpectedTrace& SaveIndexAndUnlock();
    // The index saved by SaveIndexAndUnlock written back.
    ExpectedTrace& RestoreIndex();
    // One complete register read or write: window opened, accessed, closed
    // (18 port accesses).
    ExpectedTrace& RegisterRead(std::uint32_t address);
    ExpectedTrace& RegisterWrite(std::uint32_t address, std::uint32_t value);
    ExpectedTrace& IrqOff();
    ExpectedTrace& IrqOn();

    const std::vector<std::string>& lines() const { return lines_; }
    const CardModel& card() const { return card_; }

  private:
    std::uint32_t Register(std::uint32_t address) const;
    void Inb(std::uint16_t port, std::uint8_t value);
    void Outb(std::uint16_t port, std::uint8_t value);
    void Inw(std::uint16_t port, std::uint16_t value);
    void Outw(std::uint16_t port, std::uint16_t value);
    void Line(const char* format, unsigned port, unsigned value);
    void Open();
    void Close();
    void WriteAddress(std::uint32_t address);

    CardModel card_;
    std::vector<std::string> lines_;
    std::uint8_t saved_index_ = 0;
    std::uint16_t data2_ = 0;
    std::uint16_t data3_ = 0;
    std::uint32_t ldata1_ = 0;
};

// The lines of a recorded trace.
std::vector<std::string> SplitLines(const std::string& text);

// A simulated card on a bus that behaves until told otherwise, seen through
// the trace decorator, with a register window on top: what every trace-level
// test runs against.
struct TracedCard {
    explicit TracedCard(hw::CardState state)
        : sim(std::move(state)), bus(sim), trace(bus, out), window(trace) {}

    std::vector<std::string> Lines() const { return SplitLines(out.str()); }

    hw::SimCard sim;
    FaultyBus bus;
    std::ostringstream out;
    hw::TraceIo trace;
    hw::RegisterWindow window;
};

// A card state matching a model (extended registers unlocked, so the window
// answers without a prior unlock).
hw::CardState StateFor(const CardModel& model);

}  // namespace ruvuvuri::test
