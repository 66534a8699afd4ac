#include "hw/realtime_bracket.h"

#include <pthread.h>
#include <sys/mman.h>

namespace ruvuvuri::hw {

RealtimeBracket::RealtimeBracket() {
    // Looked up once here, so Enter() does only the calls that change state.
    const int max = sched_get_priority_max(SCHED_FIFO);
    fifo_max_priority_ = max > 0 ? max : 0;
}

void RealtimeBracket::Enter() {
    if (entered_) {
        return;
    }
    entered_ = true;
    signals_.Block();

    memory_locked_ = mlockall(MCL_CURRENT | MCL_FUTURE) == 0;

    priority_raised_ = false;
    const pthread_t self = pthread_self();
    if (fifo_max_priority_ > 0 && pthread_getschedparam(self, &saved_policy_, &saved_param_) == 0) {
        sched_param fifo{};
        fifo.sched_priority = fifo_max_priority_;
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
