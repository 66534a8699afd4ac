#pragma once

#include "app/keep_question.h"
#include "clock/clock_engine.h"

namespace ruvuvuri::app {

// Asks on the terminal whether to keep a change just applied; anything but a
// yes within `seconds` (another answer, the time running out, a stop signal)
// writes back exactly what `before` holds (ClockEngine::Restore). Then the card
// is read again and the terminal told what it runs at. Stop signals are held
// from the question to the end of that read, so that none can end the run
// between the change and its revert; one that arrived is delivered afterwards.
// Returns the new reading.
const clock::ClockReading& ConfirmOrRevert(clock::ClockEngine& engine,
                                           const clock::ClockReading& before, Terminal& terminal,
                                           int seconds);

}  // namespace ruvuvuri::app
