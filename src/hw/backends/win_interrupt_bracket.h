// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <windows.h>

namespace ruvuvuri::hw {

// Keeps the PLL sequence from being interrupted on Windows. Prepare() (once,
// when the backend opens) locks the program image and a stretch of the stack
// into memory, so nothing the sequence touches can page-fault while
// interrupts are off. Enter() pins the thread to one processor, raises it to
// time-critical priority and, when `clear_interrupts`, executes cli; Leave()
// undoes each step in reverse order. Neither allocates.
class WinInterruptBracket {
  public:
    explicit WinInterruptBracket(bool clear_interrupts) : clear_interrupts_(clear_interrupts) {}

    // Locks `object` (the backend itself) along with the image and the stack.
    void Prepare(const void* object, SIZE_T object_size);
    void Enter();
    void Leave();

    bool entered() const { return entered_; }

  private:
    bool clear_interrupts_;
    bool entered_ = false;
    int saved_priority_ = THREAD_PRIORITY_NORMAL;
    DWORD_PTR saved_affinity_ = 0;
};

}  // namespace ruvuvuri::hw
