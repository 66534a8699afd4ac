#include <windows.h>

#include <algorithm>

#include "app/run_lock.h"
#include "hw/platform_error.h"
#include "hw/win_error_text.h"

// One run at a time on the card, through a named mutex: Windows releases it
// when the process ends, however it ends, as the kernel releases a flock.
namespace ruvuvuri::app {
namespace {

// The mutex is named after the lock file's name. On the NT family it lives in
// the global name space, so runs in different sessions see each other.
std::string MutexName(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    std::string name = "ruvuvuri-" + path.substr(cut == std::string::npos ? 0 : cut + 1);
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
        version.dwMajorVersion >= 5) {
        name = "Global\\" + name;
    }
    return name;
}

}  // namespace

RunLock::RunLock(const std::string& path, std::chrono::milliseconds wait,
                 std::chrono::milliseconds poll_interval) {
    const std::string name = MutexName(path);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) {
        throw hw::PlatformError("cannot create the lock " + name + " (" +
                                hw::WinErrorText(GetLastError()) + "); run as administrator");
    }
    // The wait itself is the poll: Windows wakes the waiter when the mutex is
    // released.
    (void)poll_interval;
    const auto wait_ms = static_cast<DWORD>(std::max<long long>(wait.count(), 0));
    const DWORD result = WaitForSingleObject(mutex, wait_ms);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
        CloseHandle(mutex);
        throw hw::PlatformError(
            "another ruvuvuri run is using the card; try again when it has finished");
    }
    // Kernel handles carry 32 significant bits on every Windows, 64-bit included.
    fd_ = HandleToLong(mutex);
}

RunLock::~RunLock() {
    if (fd_ != -1) {
        HANDLE mutex = LongToHandle(fd_);
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
}

}  // namespace ruvuvuri::app
