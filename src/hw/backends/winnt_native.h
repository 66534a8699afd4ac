// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

// The NT family's native calls that port access and the BIOS image need, all
// looked up in ntdll.dll at run time (the 95 family has none of them).
namespace ruvuvuri::hw::nt {

inline constexpr long kStatusSuccess = 0;
inline constexpr long kStatusNotImplemented = static_cast<long>(0xC0000002);
inline constexpr long kStatusPrivilegeNotHeld = static_cast<long>(0xC0000061);

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

}  // namespace ruvuvuri::hw::nt
