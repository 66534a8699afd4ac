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

// Applies the targets: the clocks through ChangeSpeed, then each timing. False,
// with nothing written, when the card refuses writes (see RefusalText), or
// when the strap read that starts the clock change finds it no longer answering
// or its crystal open (kStrapChanged says so).
bool ApplyTargets(const clock::ChangeTargets& targets, clock::ClockEngine& engine);

inline constexpr const char* kStrapChanged =
    "the card's strap register no longer reads as it did a moment ago (the card stopped "
    "answering, or its crystal is now open); nothing was written";

}  // namespace ruvuvuri::app
