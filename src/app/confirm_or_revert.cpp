#include "app/confirm_or_revert.h"

#include <cstdio>

namespace ruvuvuri::app {

const clock::ClockReading& ConfirmOrRevert(clock::ClockEngine& engine,
                                           const clock::ClockReading& before, Terminal& terminal,
                                           int seconds) {
    const HeldStopSignals held;
    const bool keep = terminal.AskToKeep(seconds, held.fd());
    if (!keep) {
        engine.Restore(before);
    }
    const clock::ClockReading& now = engine.GetCurrentClocks();
    char line[160];
    std::snprintf(line, sizeof line, "%s: core %.3f MHz, memory %.3f MHz%s.",
                  keep ? "Kept" : "Reverted", now.nvclk_d, now.memclk_d,
                  keep ? "" : ", timings as read before the change");
    terminal.Say(line);
    return now;
}

}  // namespace ruvuvuri::app
