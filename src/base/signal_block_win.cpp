// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/signal_block.h"

namespace ruvuvuri::base {

// Windows delivers no asynchronous signal into a running thread: a console's
// Ctrl+C or close event runs its handler on a thread of its own, which only
// records the event for the card's next stop point. There is nothing to hold
// off; the state is kept so callers see the same bracket on every platform.
void SignalBlock::Block() {
    active_ = true;
}

void SignalBlock::Restore() {
    active_ = false;
}

}  // namespace ruvuvuri::base
