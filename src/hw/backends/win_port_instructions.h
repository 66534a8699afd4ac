// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

// The x86 instructions the Windows backends execute directly: port I/O, the
// interrupt flag and the I/O privilege level in EFLAGS. They fault unless the
// system grants them (always on the 95 family, with IOPL 3 on the NT family).
namespace ruvuvuri::hw::x86 {

inline std::uint8_t InByte(std::uint16_t port) {
    std::uint8_t value;
    asm volatile("inb %1, %0" : "=a"(value) : "Nd"(port));
    return value;
}

inline void OutByte(std::uint16_t port, std::uint8_t value) {
    asm volatile("outb %0, %1" : : "a"(value), "Nd"(port));
}

inline std::uint16_t InWord(std::uint16_t port) {
    std::uint16_t value;
    asm volatile("inw %1, %0" : "=a"(value) : "Nd"(port));
    return value;
}

inline void OutWord(std::uint16_t port, std::uint16_t value) {
    asm volatile("outw %0, %1" : : "a"(value), "Nd"(port));
}

inline void ClearInterruptFlag() {
    asm volatile("cli" ::: "memory");
}

inline void SetInterruptFlag() {
    asm volatile("sti" ::: "memory");
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

}  // namespace ruvuvuri::hw::x86
