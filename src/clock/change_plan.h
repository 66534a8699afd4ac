// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "clock/clock_engine.h"

namespace ruvuvuri::clock {

// What an apply is asked to do: new clocks for both PLLs (ChangeSpeed always
// programs both), and any of the three timings.
struct ChangeTargets {
    struct Clocks {
        std::uint32_t memory_khz = 0;
        std::uint32_t core_khz = 0;
    };
    std::optional<Clocks> clocks;
    std::array<std::optional<std::uint32_t>, 3> timings;

    bool empty() const { return !clocks && !timings[0] && !timings[1] && !timings[2]; }
};

// One PLL as an apply would program it.
struct PllPlan {
    std::uint32_t address = 0;
    std::uint32_t read_word = 0;   // as read at start
    std::uint32_t asked_khz = 0;   // the clock asked for
    bool found = false;            // coefficients exist; otherwise the PLL keeps its word
    PllCoeff coeff;                // what the search chose (when found)
    std::uint32_t write_word = 0;  // the complete word of the second stage
    std::uint32_t output_khz = 0;  // the clock that word produces
};

// One plain register write.
struct RegisterPlan {
    std::uint32_t address = 0;
    std::uint32_t read_value = 0;
    std::uint32_t write_value = 0;
};

// Every register an apply would write, with the value read and the value it
// would get, in the order the writes happen: the PLL select register, the core
// PLL and the memory PLL (each in two stages, inside the interrupt bracket),
// then the timings.
struct ChangePlan {
    int base_freq = 0;
    std::optional<RegisterPlan> select;  // with the clocks
    std::optional<PllPlan> core;
    std::optional<PllPlan> memory;
    std::vector<RegisterPlan> timings;

    bool empty() const { return !select && timings.empty(); }
};

// The plan of an apply, from a reading of the card, the select register as read
// and the targets. Pure: the same coefficient search that ChangeSpeed makes.
ChangePlan PlanChange(const ClockReading& reading, std::uint32_t select_read,
                      const ChangeTargets& targets);

}  // namespace ruvuvuri::clock
