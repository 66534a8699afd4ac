#pragma once

#include "app/options.h"
#include "clock/clock_engine.h"

namespace ruvuvuri::app {

// Applies what the command line asked for, after the card has been read: the
// clocks through ChangeSpeed (a clock not given keeps the value read at start),
// then each given timing. Returns how many options took effect; 0 means the
// panel is shown instead.
int ApplyClockOptions(const ClockOptions& options, clock::ClockEngine& engine);

}  // namespace ruvuvuri::app
