// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/win_ports.h"

#include <windows.h>

#include <optional>

#include "hw/backends/win9x_io.h"
#include "hw/backends/win_run_lock.h"
#include "hw/backends/winnt_io.h"
#include "hw/platform_error.h"

namespace ruvuvuri::hw {
namespace {

constexpr const char* k64BitRefusal =
    "this is 64-bit Windows, which lets no program reach the VGA ports or the video BIOS; "
    "Ruvuvuri runs on 32-bit Windows 98, ME, 2000 and XP";

// IsWow64Process is there from XP SP2 on; a system without it is 32-bit.
bool RunsUnderWow64() {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto is_wow64 = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return is_wow64 != nullptr && is_wow64(GetCurrentProcess(), &wow64) && wow64;
}

// A 64-bit build is the test vehicle: it runs on 64-bit Windows only.
bool Is64BitWindows() {
    return sizeof(void*) == 8 || RunsUnderWow64();
}

bool IsNtFamily() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool Is95Family() {
    return !IsNtFamily();
}

class WinPorts final : public OpenedBackend {
  public:
    explicit WinPorts(std::unique_ptr<PortIo> (*open_io)()) {
        io_ = open_io();
        // One run at a time on the real card: two interleaved register window
        // sequences would corrupt each other's accesses.
        lock_.emplace();
    }
    PortIo& io() override { return *io_; }

  private:
    std::optional<WinRunLock> lock_;
    std::unique_ptr<PortIo> io_;
};

std::unique_ptr<OpenedBackend> OpenNtPorts(const BackendRequest&) {
    if (Is64BitWindows()) {
        throw PlatformError(k64BitRefusal);
    }
    return std::make_unique<WinPorts>(OpenWinNtIo);
}

std::unique_ptr<OpenedBackend> Open95Ports(const BackendRequest&) {
    return std::make_unique<WinPorts>(OpenWin9xIo);
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
