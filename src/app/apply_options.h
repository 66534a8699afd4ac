// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/options.h"
#include "clock/change_plan.h"
#include "clock/clock_engine.h"

namespace ruvuvuri::app {

// What the command line asks of the card, given the reading at start: both
// clocks when either was given (a clock not given keeps the value read, after
// its round trip through MHz, as the panel's values make it), and each timing
// given.
clock::ChangeTargets TargetsFromOptions(const ClockOptions& options,
                                        const clock::ClockReading& reading);

// Applies the targets: the clocks through ChangeSpeed, then each timing.
// Returns how many options took effect (the clocks count once).
int ApplyTargets(const clock::ChangeTargets& targets, clock::ClockEngine& engine);

}  // namespace ruvuvuri::app
