#pragma once

#include <sched.h>

#include "hw/signal_block.h"

namespace ruvuvuri::hw {

// The strongest stand-in for "interrupts off" that user space on Linux has:
// the CPU instruction itself faults there. Enter() blocks every signal, locks
// the process's memory so no page fault can stall the sequence, and raises the
// calling thread to the highest SCHED_FIFO priority so nothing else of ours or
// of ordinary priority runs on its CPU. Leave() undoes each step that took
// effect, in reverse order, so signals that arrived meanwhile are delivered
// only once the thread is back to its own priority.
//
// Locking memory and real-time priority need privileges; when either is
// refused the bracket goes on with what it got (signals are always blocked).
// Neither call allocates.
class RealtimeBracket {
  public:
    RealtimeBracket();

    void Enter();
    void Leave();

    bool entered() const { return entered_; }
    // What the current (or last) Enter() obtained.
    bool memory_locked() const { return memory_locked_; }
    bool priority_raised() const { return priority_raised_; }

  private:
    SignalBlock signals_;
    int fifo_max_priority_ = 0;
    int saved_policy_ = SCHED_OTHER;
    sched_param saved_param_{};
    bool entered_ = false;
    bool memory_locked_ = false;
    bool priority_raised_ = false;
};

}  // namespace ruvuvuri::hw
