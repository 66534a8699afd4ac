#include <windows.h>

#include "hw/backends/hardware_io.h"
#include "hw/backends/win9x_io.h"
#include "hw/backends/winnt_io.h"

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

}  // namespace

std::unique_ptr<PortIo> OpenHardwareIo() {
    if (Is64BitWindows()) {
        throw PlatformError(k64BitRefusal);
    }
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT ? OpenWinNtIo() : OpenWin9xIo();
}

}  // namespace ruvuvuri::hw
