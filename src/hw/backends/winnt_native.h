// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <utility>

// What port access and the BIOS image need on the NT family: its native calls,
// all looked up in ntdll.dll at run time (the 95 family has none of them), and
// the privileges (winnt_privileges.cpp).
namespace ruvuvuri::hw::nt {

inline constexpr long kStatusSuccess = 0;
inline constexpr long kStatusPrivilegeNotHeld = static_cast<long>(0xC0000061);

// Closes a handle when the scope ends.
class Handle {
  public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE* out() { return &handle_; }
    HANDLE get() const { return handle_; }
    HANDLE release() { return std::exchange(handle_, nullptr); }

  private:
    HANDLE handle_ = nullptr;
};

// `name` in `module` (loaded if it is not yet), or null where this Windows has
// no such call.
template <typename Fn>
Fn Lookup(const char* module, const char* name) {
    HMODULE loaded = LoadLibraryA(module);
    return loaded == nullptr
               ? nullptr
               : reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(loaded, name)));
}

// "0xc0000061"
std::string StatusText(long status);

// \Device\PhysicalMemory, opened for read-only mapping. The status of the open
// on failure (and a null handle).
HANDLE OpenPhysicalMemory(long* status);
// Copies dest.size() bytes from physical `address` through a read-only view;
// false when the view cannot be mapped (dest is then left as it was).
bool ReadPhysical(HANDLE section, std::uint32_t address, std::span<std::uint8_t> dest);

// NtSetInformationProcess(ProcessUserModeIOPL) for this process, with the
// calling thread's current token. Its status.
long RequestUserModeIopl();

// Whether the process runs with the Administrators group enabled in its token.
// True where the system cannot tell (CheckTokenMembership is 2000 and later):
// the calls that follow then give their own refusal.
bool IsAdministrator();

// ProcessUserModeIOPL needs the Tcb privilege ("act as part of the operating
// system"), which administrators do not hold but the local security authority
// does: the call is made once while impersonating a duplicate of its token,
// then the thread reverts to its own. Returns the call's status; throws
// PlatformError naming the step when the privilege cannot be obtained.
long RaiseIoplWithTcb();

}  // namespace ruvuvuri::hw::nt
