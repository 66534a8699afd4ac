// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/keep_question.h"

#include <cstdio>
#include <string>

#include "app/panel.h"

namespace ruvuvuri::app {
namespace {

// "Kept: core 200.452 MHz, memory 182.952 MHz." or "Reverted: ..., timings as
// read before the change."
std::string Outcome(bool kept, const clock::ClockReading& now) {
    char line[160];
    std::snprintf(line, sizeof line, "%s: core %.3f MHz, memory %.3f MHz%s.",
                  kept ? "Kept" : "Reverted", now.nvclk_d, now.memclk_d,
                  kept ? "" : ", timings as read before the change");
    return line;
}

}  // namespace

const clock::ClockReading& ConfirmOrRevert(clock::ClockEngine& engine,
                                           const clock::ClockReading& before, Terminal& terminal,
                                           int seconds) {
    const HeldStopSignals held;
    const bool keep = terminal.AskToKeep(seconds, held.fd());
    if (!keep) {
        engine.Restore(before);
    }
    const clock::ClockReading& now = engine.GetCurrentClocks();
    terminal.Say(Outcome(keep, now));
    return now;
}

const clock::ClockReading& ConfirmOrRevert(clock::ClockEngine& engine,
                                           const clock::ClockReading& before, ui::UiEngine& ui,
                                           int seconds) {
    bool keep = false;
    const clock::ClockReading* now = nullptr;
    {
        const HeldStopSignals held;
        keep = ui.TimedConfirmPopup(kPopupTitle, kKeepQuestionFormat, seconds, held.fd()) == 1;
        if (!keep) {
            engine.Restore(before);
        }
        now = &engine.GetCurrentClocks();
    }
    // Only now may a signal that came during the question end the run: the
    // card holds what it should. Without one, the user learns what it runs at.
    if (!keep) {
        ui.MessagePopup(kPopupTitle, Outcome(false, *now));
    }
    return *now;
}

}  // namespace ruvuvuri::app
