// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/win_ports.h"

#include "hw/backends/winnt_native.h"

namespace ruvuvuri::hw {
namespace {

// A 64-bit build is the test vehicle: it runs on 64-bit Windows only.
// IsWow64Process is there from XP SP2 on; a system without it is 32-bit.
bool Is64BitWindows() {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto is_wow64 = nt::Lookup<IsWow64ProcessFn>("kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    return sizeof(void*) == 8 ||
           (is_wow64 != nullptr && is_wow64(GetCurrentProcess(), &wow64) && wow64);
}

bool IsNtFamily() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool Is95Family() {
    return !IsNtFamily();
}

std::unique_ptr<OpenedBackend> OpenNtPorts(const std::string&) {
    if (Is64BitWindows()) {
        throw PlatformError(
            "this is 64-bit Windows, which lets no program reach the VGA ports or the video BIOS; "
            "Ruvuvuri runs on 32-bit Windows 98, ME, 2000 and XP");
    }
    return std::make_unique<LockedPorts<WinRunLock>>(OpenWinNtIo());
}

std::unique_ptr<OpenedBackend> Open95Ports(const std::string&) {
    return std::make_unique<LockedPorts<WinRunLock>>(OpenWin9xIo());
}

}  // namespace

const BackendRecord kWinNtPortsBackend = {
    "windows-nt",
    "the card's VGA ports through IOPL 3 and its BIOS through \\Device\\PhysicalMemory "
    "(Windows 2000/XP, 32-bit); needs an administrator",
    IsNtFamily,
    true,
    OpenNtPorts,
};

const BackendRecord kWin95PortsBackend = {
    "windows-95", "the card's VGA ports and its BIOS directly (Windows 95, 98 and ME)",
    Is95Family,   true,
    Open95Ports,
};

}  // namespace ruvuvuri::hw
