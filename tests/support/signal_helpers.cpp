// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/signal_helpers.h"

#include <pthread.h>

namespace ruvuvuri::test {

volatile std::sig_atomic_t& Deliveries() {
    static volatile std::sig_atomic_t count = 0;
    return count;
}

void CountDelivery(int /*signal*/) {
    Deliveries() = Deliveries() + 1;
}

sigset_t CurrentMask() {
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    return mask;
}

bool SameMask(const sigset_t& a, const sigset_t& b) {
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&a, signal) != sigismember(&b, signal)) {
            return false;
        }
    }
    return true;
}

}  // namespace ruvuvuri::test
