// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/signal_block.h"

#include <pthread.h>

#include <csignal>

namespace ruvuvuri::base {
namespace {

static_assert(sizeof(sigset_t) <= 128 && alignof(sigset_t) <= 8,
              "SignalBlock's storage must hold a sigset_t");

sigset_t* Saved(unsigned char* storage) {
    return reinterpret_cast<sigset_t*>(storage);
}

}  // namespace

void SignalBlock::Block() {
    if (active_) {
        return;
    }
    sigset_t all;
    sigfillset(&all);
    // SIGKILL and SIGSTOP cannot be blocked; the kernel ignores them in the set.
    pthread_sigmask(SIG_BLOCK, &all, Saved(saved_));
    active_ = true;
}

void SignalBlock::Restore() {
    if (!active_) {
        return;
    }
    active_ = false;
    pthread_sigmask(SIG_SETMASK, Saved(saved_), nullptr);
}

}  // namespace ruvuvuri::base
