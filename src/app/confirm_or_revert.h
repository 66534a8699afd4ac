// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/keep_question.h"
#include "clock/clock_engine.h"
#include "ui/ui_engine.h"

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

// The same for a panel that asks itself (the Qt panel's countdown dialog,
// UiEngine::TimedConfirmPopup), with the stop signals held the same way: one
// that arrives during the question answers it no. After a revert a popup says
// what the card runs at; after a keep the panel's status line does.
const clock::ClockReading& ConfirmOrRevert(clock::ClockEngine& engine,
                                           const clock::ClockReading& before, ui::UiEngine& ui,
                                           int seconds);

// The question, with %d for the seconds left.
inline constexpr const char* kKeepQuestionFormat = "Keep these settings? Reverting in %d s";

}  // namespace ruvuvuri::app
