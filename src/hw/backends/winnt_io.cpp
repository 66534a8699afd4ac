// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/winnt_io.h"

#include <windows.h>

#include "hw/backends/win_direct_io.h"
#include "hw/backends/winnt_native.h"
#include "hw/backends/winnt_privileges.h"

namespace ruvuvuri::hw {
namespace {

class WinNtIo final : public WinDirectIo {
  public:
    explicit WinNtIo(HANDLE physical_memory)
        : WinDirectIo(true), physical_memory_(physical_memory) {
        bracket_.Prepare(this, sizeof *this);
    }
    ~WinNtIo() override { CloseHandle(physical_memory_); }
    WinNtIo(const WinNtIo&) = delete;
    WinNtIo& operator=(const WinNtIo&) = delete;

    void ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) override {
        nt::ReadPhysical(physical_memory_, address, dest);
    }

  private:
    HANDLE physical_memory_;
};

}  // namespace

std::unique_ptr<PortIo> OpenWinNtIo() {
    if (!nt::IsAdministrator()) {
        throw PlatformError(
            "Ruvuvuri needs administrator rights on Windows 2000/XP to reach the VGA ports and "
            "the video BIOS; log on as an administrator, or right-click ruvuvuri.exe and choose "
            "\"Run as...\"");
    }
    // The BIOS view first: it changes nothing, while the I/O privilege level,
    // once raised, stays raised.
    long status = 0;
    HANDLE physical_memory = nt::OpenPhysicalMemory(&status);
    if (physical_memory == nullptr) {
        throw PlatformError(
            "this Windows kernel does not let programs read the video BIOS "
            "(\\Device\\PhysicalMemory: status " +
            nt::StatusText(status) +
            "); Ruvuvuri needs 32-bit Windows 2000, XP or Server 2003 before SP1, run as an "
            "administrator");
    }
    try {
        status = nt::RaiseIoplWithTcb();
    } catch (...) {
        CloseHandle(physical_memory);
        throw;
    }
    if (status == nt::kStatusPrivilegeNotHeld) {
        CloseHandle(physical_memory);
        throw PlatformError(
            "the Tcb privilege (\"act as part of the operating system\") was not granted for "
            "port access (status " +
            nt::StatusText(status) + "); run Ruvuvuri as a local administrator");
    }
    // Some kernels report success without raising it: EFLAGS tells.
    if (status != nt::kStatusSuccess || x86::IoPrivilegeLevel() != 3) {
        CloseHandle(physical_memory);
        throw PlatformError(
            "this Windows kernel does not grant programs access to the VGA ports "
            "(ProcessUserModeIOPL: status " +
            nt::StatusText(status) + ", IOPL " + std::to_string(x86::IoPrivilegeLevel()) +
            "); Ruvuvuri needs 32-bit Windows 2000 or XP");
    }
    return std::make_unique<WinNtIo>(physical_memory);
}

}  // namespace ruvuvuri::hw
