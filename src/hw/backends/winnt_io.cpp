// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/win_direct_io.h"
#include "hw/backends/win_ports.h"
#include "hw/backends/winnt_native.h"

namespace ruvuvuri::hw {
namespace {

class WinNtIo final : public WinDirectIo {
  public:
    explicit WinNtIo(HANDLE physical_memory) : physical_memory_(physical_memory) {
        bracket_.Prepare(this, sizeof *this);
    }

    void ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) override {
        nt::ReadPhysical(physical_memory_.get(), address, dest);
    }

  private:
    nt::Handle physical_memory_;
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
    nt::Handle physical_memory(nt::OpenPhysicalMemory(&status));
    if (physical_memory.get() == nullptr) {
        throw PlatformError(
            "this Windows kernel does not let programs read the video BIOS "
            "(\\Device\\PhysicalMemory: status " +
            nt::StatusText(status) +
            "); Ruvuvuri needs 32-bit Windows 2000, XP or Server 2003 before SP1, run as an "
            "administrator");
    }
    status = nt::RaiseIoplWithTcb();
    if (status == nt::kStatusPrivilegeNotHeld) {
        throw PlatformError(
            "the Tcb privilege (\"act as part of the operating system\") was not granted for "
            "port access (status " +
            nt::StatusText(status) + "); run Ruvuvuri as a local administrator");
    }
    // Some kernels report success without raising it: EFLAGS tells.
    if (status != nt::kStatusSuccess || x86::IoPrivilegeLevel() != 3) {
        throw PlatformError(
            "this Windows kernel does not grant programs access to the VGA ports "
            "(ProcessUserModeIOPL: status " +
            nt::StatusText(status) + ", IOPL " + std::to_string(x86::IoPrivilegeLevel()) +
            "); Ruvuvuri needs 32-bit Windows 2000 or XP");
    }
    return std::make_unique<WinNtIo>(physical_memory.release());
}

}  // namespace ruvuvuri::hw
