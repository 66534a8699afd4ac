// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/stop_point_io.h"

#include <utility>

namespace ruvuvuri::hw {

void StopPointIo::set_stop_point(const volatile std::sig_atomic_t* pending, StopHook hook) {
    stop_pending_ = pending;
    stop_hook_ = std::move(hook);
}

void StopPointIo::DisableInterrupts() {
    StopPoint();
    if (bracket_open_) {
        card_.DisableInterrupts();  // the card records the misuse
        return;
    }
    signals_.Block();
    if (StopPending()) {
        // The signal took effect between the stop point and the block: the
        // run stops before the bracket, as if it had come a moment earlier.
        signals_.Restore();
        StopPoint();
        signals_.Block();
    }
    card_.DisableInterrupts();
    bracket_open_ = 1;
}

void StopPointIo::EnableInterrupts() {
    if (!bracket_open_) {
        card_.EnableInterrupts();  // the card records the misuse
        return;
    }
    card_.EnableInterrupts();
    bracket_open_ = 0;
    // Signals held off by the bracket take effect here, so the stop point
    // below sees them with both PLLs complete.
    signals_.Restore();
    StopPoint();
}

void StopPointIo::StopPoint() {
    if (StopPending() && stop_hook_) {
        stop_hook_();
    }
}

}  // namespace ruvuvuri::hw
