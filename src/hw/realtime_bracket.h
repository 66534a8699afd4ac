// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <sched.h>

#include <cstddef>

#include "base/signal_block.h"

namespace ruvuvuri::hw {

// What the bracket asks of the system, for whoever raises a user's resource
// limits so that the bracket keeps its protection without root.
//
// mlockall() is held against the whole address space, not just the resident
// part. Measured on x86-64 Debian 12 at the bracket: 5.4 MB for command-line
// and console runs (program 1.9 MB, libc and libm 3.2 MB, heap and stack). The
// limit leaves room for the stack and heap to grow while MCL_FUTURE is in force.
// The Qt panel maps some 250 MB, mostly reserved address space; there the lock
// is refused and the bracket relies on blocked signals and its priority.
inline constexpr std::size_t kBracketLockedMemoryBytes = std::size_t{16} << 20;

// The one SCHED_FIFO priority the bracket raises the thread to (the highest),
// or 0 when the system offers none.
int BracketPriority();

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
    // Whether the current (or last) Enter() obtained the real-time priority.
    bool priority_raised() const { return priority_raised_; }

  private:
    base::SignalBlock signals_;
    int priority_ = 0;
    int saved_policy_ = SCHED_OTHER;
    sched_param saved_param_{};
    bool entered_ = false;
    bool memory_locked_ = false;
    bool priority_raised_ = false;
};

}  // namespace ruvuvuri::hw
