// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/realtime_bracket.h"

#include <pthread.h>
#include <sys/mman.h>

namespace ruvuvuri::hw {

int BracketPriority() {
    const int max = sched_get_priority_max(SCHED_FIFO);
    return max > 0 ? max : 0;
}

// Looked up once here, so Enter() does only the calls that change state.
RealtimeBracket::RealtimeBracket() : priority_(BracketPriority()) {}

void RealtimeBracket::Enter() {
    if (entered_) {
        return;
    }
    entered_ = true;
    signals_.Block();
    memory_locked_ = mlockall(MCL_CURRENT | MCL_FUTURE) == 0;
    priority_raised_ = false;
    const pthread_t self = pthread_self();
    if (priority_ > 0 && pthread_getschedparam(self, &saved_policy_, &saved_param_) == 0) {
        sched_param fifo{};
        fifo.sched_priority = priority_;
        priority_raised_ = pthread_setschedparam(self, SCHED_FIFO, &fifo) == 0;
    }
}

void RealtimeBracket::Leave() {
    if (!entered_) {
        return;
    }
    entered_ = false;
    if (priority_raised_) {
        pthread_setschedparam(pthread_self(), saved_policy_, &saved_param_);
    }
    if (memory_locked_) {
        munlockall();
    }
    // Last, so that a pending signal's handler runs at the thread's own
    // priority and with memory unlocked.
    signals_.Restore();
}

}  // namespace ruvuvuri::hw
