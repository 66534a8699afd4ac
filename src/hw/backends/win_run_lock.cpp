// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/win_ports.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "base/win_error_text.h"

namespace ruvuvuri::hw {
namespace {

std::string MutexName() {
    std::string name = "ruvuvuri-card.lock";
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
        version.dwMajorVersion >= 5) {
        name = "Global\\" + name;
    }
    return name;
}

}  // namespace

WinRunLock::WinRunLock(std::chrono::milliseconds wait) {
    const std::string name = MutexName();
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) {
        throw PlatformError("cannot create the lock " + name + " (" +
                            base::WinErrorText(GetLastError()) + "); run as administrator");
    }
    // Windows wakes the waiter when the mutex is released: no polling.
    const auto wait_ms = static_cast<DWORD>(std::max<long long>(wait.count(), 0));
    const DWORD result = WaitForSingleObject(mutex, wait_ms);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
        CloseHandle(mutex);
        throw PlatformError(
            "another ruvuvuri run is using the card; try again when it has finished");
    }
    mutex_ = mutex;
}

WinRunLock::~WinRunLock() {
    ReleaseMutex(static_cast<HANDLE>(mutex_));
    CloseHandle(static_cast<HANDLE>(mutex_));
}

}  // namespace ruvuvuri::hw
