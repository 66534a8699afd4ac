// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <windows.h>

#include <cstdint>

#include "hw/port_io.h"

// Port access by the in/out instructions themselves, as both Windows families
// allow once the backend has opened (always on the 95 family, with IOPL 3 on
// the NT family; otherwise they fault).
namespace ruvuvuri::hw {
namespace x86 {

// The operand size follows T: std::uint8_t or std::uint16_t.
template <typename T>
inline T In(std::uint16_t port) {
    T value;
    asm volatile("in %1, %0" : "=a"(value) : "Nd"(port));
    return value;
}

template <typename T>
inline void Out(std::uint16_t port, T value) {
    asm volatile("out %0, %1" : : "a"(value), "Nd"(port));
}

// The I/O privilege level, bits 12-13 of EFLAGS.
inline unsigned IoPrivilegeLevel() {
#if defined(__x86_64__)
    const unsigned long long flags = __builtin_ia32_readeflags_u64();
#else
    const unsigned flags = __builtin_ia32_readeflags_u32();
#endif
    return static_cast<unsigned>((flags >> 12) & 3);
}

}  // namespace x86

// Keeps the PLL sequence from being interrupted on Windows. Prepare() (once,
// when the backend opens) locks the program image and a stretch of the stack
// into memory, so nothing the sequence touches can page-fault while
// interrupts are off. Enter() pins the thread to one processor, raises it to
// time-critical priority and executes cli (the 95 family's virtual machine
// manager keeps the interrupt flag per virtual machine and lets cli/sti
// through for the system VM); Leave() undoes each step in reverse order.
// Neither allocates.
class WinInterruptBracket {
  public:
    // Locks `object` (the backend itself) along with the image and the stack.
    void Prepare(const void* object, SIZE_T object_size);
    void Enter();
    void Leave();

  private:
    bool entered_ = false;
    int saved_priority_ = THREAD_PRIORITY_NORMAL;
    DWORD_PTR saved_affinity_ = 0;
};

// The physical-memory read is each family's own.
class WinDirectIo : public PortIo {
  public:
    std::uint8_t inb(std::uint16_t port) override { return x86::In<std::uint8_t>(port); }
    void outb(std::uint16_t port, std::uint8_t value) override { x86::Out(port, value); }
    std::uint16_t inw(std::uint16_t port) override { return x86::In<std::uint16_t>(port); }
    void outw(std::uint16_t port, std::uint16_t value) override { x86::Out(port, value); }

    void DisableInterrupts() override { bracket_.Enter(); }
    void EnableInterrupts() override { bracket_.Leave(); }

  protected:
    WinInterruptBracket bracket_;
};

}  // namespace ruvuvuri::hw
