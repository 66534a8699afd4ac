// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/signal_block.h"

#include <pthread.h>

namespace ruvuvuri::base {

void SignalBlock::Block() {
    if (active_) {
        return;
    }
    sigset_t all;
    sigfillset(&all);
    // SIGKILL and SIGSTOP cannot be blocked; the kernel ignores them in the set.
    pthread_sigmask(SIG_BLOCK, &all, &saved_);
    active_ = true;
}

void SignalBlock::Restore() {
    if (active_) {
        active_ = false;
        pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    }
}

}  // namespace ruvuvuri::base
