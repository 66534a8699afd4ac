// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/apply_options.h"

#include "app/clock_units.h"

namespace ruvuvuri::app {

clock::ChangeTargets TargetsFromOptions(const ClockOptions& options,
                                        const clock::ClockReading& reading) {
    clock::ChangeTargets targets;
    if (options.memory_mhz != 0.0 || options.core_mhz != 0.0) {
        const double memory_mhz = options.memory_mhz != 0.0 ? options.memory_mhz : reading.memclk_d;
        const double core_mhz = options.core_mhz != 0.0 ? options.core_mhz : reading.nvclk_d;
        targets.clocks = clock::ChangeTargets::Clocks{MhzToKhz(memory_mhz), MhzToKhz(core_mhz)};
    }
    for (std::size_t i = 0; i < targets.timings.size(); ++i) {
        if (options.timing[i] != NOT_GIVEN_TIMING) {
            targets.timings[i] = options.timing[i];
        }
    }
    return targets;
}

bool ApplyTargets(const clock::ChangeTargets& targets, clock::ClockEngine& engine) {
    if (engine.Refusal() != clock::WriteRefusal::None) {
        return false;
    }
    if (targets.clocks &&
        !engine.ChangeSpeed(targets.clocks->memory_khz, targets.clocks->core_khz)) {
        return false;
    }
    // The last reading let the card be written, so every timing is.
    for (std::size_t i = 0; i < targets.timings.size(); ++i) {
        if (targets.timings[i]) {
            engine.SetTiming(i, *targets.timings[i]);
        }
    }
    return true;
}

}  // namespace ruvuvuri::app
