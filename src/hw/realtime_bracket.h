// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <sched.h>

#include <cstddef>

#include "base/signal_block.h"

namespace ruvuvuri::hw {

// For whoever raises a user's resource limits so that the bracket keeps its
// protection without root. mlockall() is held against the whole address space:
// 5.4 MB for command-line and console runs at the bracket (x86-64 Debian 12);
// the limit leaves room for the stack and heap to grow under MCL_FUTURE. The Qt
// panel maps some 250 MB, mostly reserved; there the lock is refused and the
// bracket relies on blocked signals and its priority.
inline constexpr std::size_t kBracketLockedMemoryBytes = std::size_t{16} << 20;

// The one SCHED_FIFO priority the bracket raises the thread to (the highest),
// or 0 when the system offers none.
int BracketPriority();

// The strongest stand-in for "interrupts off" that user space on Linux has
// (the instruction itself faults there). Enter() blocks every signal, locks the
// process's memory so no page fault can stall the sequence, and raises the
// thread to the highest SCHED_FIFO priority so nothing else of ours or of
// ordinary priority runs on its CPU. Leave() undoes each step that took effect,
// in reverse order, so signals that arrived meanwhile are delivered only once
// the thread is back to its own priority. A step refused for want of privilege
// is skipped (signals are always blocked). Neither call allocates.
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
