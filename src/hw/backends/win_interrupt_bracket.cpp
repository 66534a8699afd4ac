// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/win_direct_io.h"

namespace ruvuvuri::hw {
namespace {

// Enough for the deepest call chain of the PLL sequence, many times over.
constexpr SIZE_T kStackToLock = 64 * 1024;

// VirtualLock is a stub on the 95 family, which never pages out the locked
// stretch of a running time-critical thread's code in practice; reading every
// page brings it in either way.
void LockAndTouch(const void* start, SIZE_T size) {
    const SIZE_T extra = SIZE_T{1} << 20;
    SIZE_T minimum = 0;
    SIZE_T maximum = 0;
    if (GetProcessWorkingSetSize(GetCurrentProcess(), &minimum, &maximum)) {
        SetProcessWorkingSetSize(GetCurrentProcess(), minimum + size + extra,
                                 maximum + size + extra);
    }
    VirtualLock(const_cast<void*>(start), size);
    const volatile char* bytes = static_cast<const volatile char*>(start);
    for (SIZE_T offset = 0; offset < size; offset += 4096) {
        (void)bytes[offset];
    }
}

// A frame as deep as the sequence may go, below the caller's: the compiler's
// stack probe commits its pages in order, then they are locked.
__attribute__((noinline)) void LockStackBelow() {
    volatile char area[kStackToLock];
    for (SIZE_T offset = kStackToLock; offset > 0; offset -= 4096) {
        area[offset - 1] = 0;
    }
    LockAndTouch(const_cast<const char*>(area), kStackToLock);
}

}  // namespace

void WinInterruptBracket::Prepare(const void* object, SIZE_T object_size) {
    const auto* image = reinterpret_cast<const char*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
    LockAndTouch(image, nt->OptionalHeader.SizeOfImage);
    LockStackBelow();
    LockAndTouch(object, object_size);
}

void WinInterruptBracket::Enter() {
    if (entered_) {
        return;
    }
    HANDLE thread = GetCurrentThread();
    saved_priority_ = GetThreadPriority(thread);
    SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
    DWORD_PTR process_mask = 0;
    DWORD_PTR system_mask = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask) &&
        process_mask != 0) {
        const DWORD_PTR one = process_mask & (~process_mask + 1);  // the lowest processor
        saved_affinity_ = SetThreadAffinityMask(thread, one);
        Sleep(0);  // move to that processor now, not half way through the sequence
    }
    asm volatile("cli" ::: "memory");
    entered_ = true;
}

void WinInterruptBracket::Leave() {
    if (!entered_) {
        return;
    }
    asm volatile("sti" ::: "memory");
    HANDLE thread = GetCurrentThread();
    if (saved_affinity_ != 0) {
        SetThreadAffinityMask(thread, saved_affinity_);
        saved_affinity_ = 0;
    }
    SetThreadPriority(thread, saved_priority_);
    entered_ = false;
}

}  // namespace ruvuvuri::hw
