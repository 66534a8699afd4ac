// SPDX-License-Identifier: GPL-2.0-or-later
// The real card on Windows. Whatever is newer than Windows 98 and 2000 is
// looked up at run time, the NT family's native calls in ntdll.dll among them
// (the 95 family has none).
#include "hw/backends/win_ports.h"

#include <windows.h>
// Need the types of windows.h.
#include <intrin.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "base/win_error_text.h"
#include "hw/platform_error.h"

namespace ruvuvuri::hw {
namespace {

// Enough for the deepest call chain of the PLL sequence, many times over.
constexpr SIZE_T kStackToLock = 64 * 1024;
// The first megabyte, which the 95 family maps one to one.
constexpr std::uint32_t kLowMemoryEnd = 0x100000;
constexpr DWORD kLockWaitMs = 5000;

// `name` in `module` (loaded if it is not yet), or null where this Windows has
// no such call.
template <typename Fn>
Fn Lookup(const char* module, const char* name) {
    HMODULE loaded = LoadLibraryA(module);
    return loaded == nullptr
               ? nullptr
               : reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(loaded, name)));
}

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

constexpr long kStatusSuccess = 0;
constexpr long kStatusPrivilegeNotHeld = static_cast<long>(0xC0000061);
constexpr long kStatusProcedureNotFound = static_cast<long>(0xC000007A);
// SECTION_INHERIT's ViewShare, which winternl.h leaves out.
constexpr ULONG kViewShare = 1;

using NtOpenSectionFn = long(NTAPI*)(HANDLE*, ACCESS_MASK, OBJECT_ATTRIBUTES*);
using NtMapViewOfSectionFn = long(NTAPI*)(HANDLE, HANDLE, void**, ULONG_PTR, SIZE_T, LARGE_INTEGER*,
                                          SIZE_T*, ULONG, ULONG, ULONG);
using NtUnmapViewOfSectionFn = long(NTAPI*)(HANDLE, void*);
using NtSetInformationProcessFn = long(NTAPI*)(HANDLE, ULONG, void*, ULONG);

// `name` in ntdll.dll, called; STATUS_PROCEDURE_NOT_FOUND where it is missing.
template <typename Fn, typename... Args>
long CallNative(const char* name, Args... args) {
    const auto call = Lookup<Fn>("ntdll.dll", name);
    return call == nullptr ? kStatusProcedureNotFound : call(args...);
}

std::string StatusText(long status) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(status));
    return text;
}

// With the calling thread's current token.
long RequestUserModeIopl() {
    return CallNative<NtSetInformationProcessFn>("NtSetInformationProcess", GetCurrentProcess(),
                                                 ProcessUserModeIOPL, nullptr, 0);
}

// Whether the process runs with the Administrators group enabled in its token.
// True where the system cannot tell (CheckTokenMembership is 2000 and later):
// the calls that follow then give their own refusal.
bool IsAdministrator() {
    using CheckTokenMembershipFn = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);
    const auto check = Lookup<CheckTokenMembershipFn>("advapi32.dll", "CheckTokenMembership");
    SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (check == nullptr ||
        !AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
        return true;
    }
    BOOL member = FALSE;
    const BOOL checked = check(nullptr, administrators, &member);
    FreeSid(administrators);
    return !checked || member;
}

// `done` is the result of `step`; a failed step refuses with its last error.
void RequireForTcb(bool done, const char* step) {
    if (!done) {
        throw PlatformError(
            "cannot obtain the Tcb privilege (\"act as part of the operating system\") that "
            "port access needs on Windows 2000/XP (" +
            std::string(step) + ": " + base::WinErrorText(GetLastError()) +
            "); run Ruvuvuri as a local administrator, not from a restricted account");
    }
}

bool EnablePrivilege(HANDLE token, const char* name) {
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(nullptr, name, &wanted.Privileges[0].Luid) ||
        !AdjustTokenPrivileges(token, FALSE, &wanted, sizeof wanted, nullptr, nullptr)) {
        return false;
    }
    // Succeeds with ERROR_NOT_ALL_ASSIGNED when the token lacks the privilege.
    return GetLastError() == ERROR_SUCCESS;
}

DWORD FindProcess(const char* name) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 0;
    }
    const Handle closer(snapshot);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        const char* base = std::strrchr(entry.szExeFile, '\\');
        if (lstrcmpiA(base ? base + 1 : entry.szExeFile, name) == 0) {
            return entry.th32ProcessID;
        }
    }
    return 0;
}

// ProcessUserModeIOPL needs the Tcb privilege ("act as part of the operating
// system"), which administrators do not hold but the local security authority
// does: the call is made once while impersonating a duplicate of its token,
// then the thread reverts to its own. Returns the call's status; throws
// PlatformError naming the step when the privilege cannot be obtained.
long RaiseIoplWithTcb() {
    HANDLE raw = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) {
        const Handle own(raw);
        // Opening the authority's process and impersonating its token; 2000 SP4
        // and later want the second. Administrators hold both.
        EnablePrivilege(own.get(), SE_DEBUG_NAME);
        EnablePrivilege(own.get(), "SeImpersonatePrivilege");
        // A process that already holds Tcb (a service) needs no borrowing.
        if (EnablePrivilege(own.get(), SE_TCB_NAME)) {
            return RequestUserModeIopl();
        }
    }
    const DWORD authority_id = FindProcess("lsass.exe");
    if (authority_id == 0) {
        SetLastError(ERROR_NOT_FOUND);
    }
    RequireForTcb(authority_id != 0, "finding lsass.exe");
    const Handle authority(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, authority_id));
    RequireForTcb(authority != nullptr, "opening lsass.exe");
    RequireForTcb(OpenProcessToken(authority.get(), TOKEN_DUPLICATE | TOKEN_QUERY, &raw),
                  "opening the token of lsass.exe");
    const Handle token(raw);
    RequireForTcb(
        DuplicateTokenEx(token.get(), TOKEN_IMPERSONATE | TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES,
                         nullptr, SecurityImpersonation, TokenImpersonation, &raw),
        "duplicating the token of lsass.exe");
    const Handle borrowed(raw);
    RequireForTcb(EnablePrivilege(borrowed.get(), SE_TCB_NAME), "enabling the privilege");
    // From advapi32, where 2000 and XP have it (newer kernel32 has it too, and
    // the import libraries would bind it there).
    using SetThreadTokenFn = BOOL(WINAPI*)(PHANDLE, HANDLE);
    const auto set_thread_token = Lookup<SetThreadTokenFn>("advapi32.dll", "SetThreadToken");
    RequireForTcb(set_thread_token != nullptr && set_thread_token(nullptr, borrowed.get()),
                  "impersonating lsass.exe");
    const long status = RequestUserModeIopl();
    RevertToSelf();
    return status;
}

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

// The in/out instructions themselves, which the 95 family always allows and the
// NT family with IOPL 3 (otherwise they fault). Opening locks the program image,
// a stretch of the stack and this object into memory, so nothing the sequence
// touches can page-fault while interrupts are off. DisableInterrupts() pins the
// thread to one processor, raises it to time-critical priority and executes cli
// (the 95 family's virtual machine manager keeps the interrupt flag per virtual
// machine and lets cli/sti through for the system VM); EnableInterrupts()
// undoes each step in reverse order. Neither allocates.
class WinDirectIo final : public PortIo {
  public:
    // `physical_memory`: the NT family's \Device\PhysicalMemory, read through
    // views; null on the 95 family, which reads the first megabyte in place.
    explicit WinDirectIo(Handle physical_memory) : physical_memory_(std::move(physical_memory)) {
        const auto* image = reinterpret_cast<const char*>(GetModuleHandleA(nullptr));
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
        LockAndTouch(image, nt->OptionalHeader.SizeOfImage);
        LockStackBelow();
        LockAndTouch(this, sizeof *this);
    }

    std::uint8_t inb(std::uint16_t port) override { return __inbyte(port); }
    void outb(std::uint16_t port, std::uint8_t value) override { __outbyte(port, value); }
    std::uint16_t inw(std::uint16_t port) override { return __inword(port); }
    void outw(std::uint16_t port, std::uint16_t value) override { __outword(port, value); }

    void ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) override {
        if (physical_memory_ == nullptr) {
            const auto* source =
                reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address));
            if (address < kLowMemoryEnd && dest.size() <= kLowMemoryEnd - address &&
                !IsBadReadPtr(source, dest.size())) {
                std::memcpy(dest.data(), source, dest.size());
            }
            return;
        }
        SYSTEM_INFO system{};
        GetSystemInfo(&system);
        // The call rounds the offset down to the allocation granularity; map
        // from there and read from the right place in the view.
        const std::uint32_t granularity = system.dwAllocationGranularity;
        const std::uint32_t start = address - address % granularity;
        LARGE_INTEGER offset{};
        offset.QuadPart = start;
        SIZE_T size = (address - start) + dest.size();
        void* view = nullptr;
        if (CallNative<NtMapViewOfSectionFn>("NtMapViewOfSection", physical_memory_.get(),
                                             GetCurrentProcess(), &view, 0, 0, &offset, &size,
                                             kViewShare, 0, PAGE_READONLY) != kStatusSuccess) {
            return;
        }
        const auto base = static_cast<std::uint64_t>(offset.QuadPart);
        if (base <= address && address - base + dest.size() <= size) {
            std::memcpy(dest.data(), static_cast<const char*>(view) + (address - base),
                        dest.size());
        }
        CallNative<NtUnmapViewOfSectionFn>("NtUnmapViewOfSection", GetCurrentProcess(), view);
    }

    void DisableInterrupts() override {
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

    void EnableInterrupts() override {
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

  private:
    Handle physical_memory_;
    bool entered_ = false;
    int saved_priority_ = THREAD_PRIORITY_NORMAL;
    DWORD_PTR saved_affinity_ = 0;
};

// A named mutex, which Windows releases when the process ends, however it ends
// (as the kernel releases the POSIX run lock's flock). From NT 5 on the name
// lives in the global name space, so runs in different sessions see each other.
class WinRunLock {
  public:
    WinRunLock() {
        const std::string name =
            std::string(NtMajorVersion() >= 5 ? "Global\\" : "") + "ruvuvuri-card.lock";
        mutex_.reset(CreateMutexA(nullptr, FALSE, name.c_str()));
        if (mutex_ == nullptr) {
            throw PlatformError("cannot create the lock " + name + " (" +
                                base::WinErrorText(GetLastError()) + "); run as administrator");
        }
        // Windows wakes the waiter when the mutex is released: no polling.
        const DWORD result = WaitForSingleObject(mutex_.get(), kLockWaitMs);
        if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
            throw PlatformError(
                "another ruvuvuri run is using the card; try again when it has finished");
        }
    }
    ~WinRunLock() { ReleaseMutex(mutex_.get()); }

  private:
    Handle mutex_;
};

std::unique_ptr<OpenedBackend> OpenNtPorts(const std::string&) {
    // A 64-bit build is the test vehicle: it runs on 64-bit Windows only.
    // IsWow64Process is there from XP SP2 on; a system without it is 32-bit.
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto is_wow64 = Lookup<IsWow64ProcessFn>("kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    if (sizeof(void*) == 8 ||
        (is_wow64 != nullptr && is_wow64(GetCurrentProcess(), &wow64) && wow64)) {
        throw PlatformError(
            "this is 64-bit Windows, which lets no program reach the VGA ports or the video BIOS; "
            "Ruvuvuri runs on 32-bit Windows 98, ME, 2000 and XP");
    }
    return std::make_unique<LockedPorts<WinRunLock>>(OpenWinNtIo());
}

std::unique_ptr<OpenedBackend> Open95Ports(const std::string&) {
    return std::make_unique<LockedPorts<WinRunLock>>(std::make_unique<WinDirectIo>(nullptr));
}

}  // namespace

unsigned long NtMajorVersion() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    const bool nt = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    return nt ? version.dwMajorVersion : 0;
}

std::unique_ptr<PortIo> OpenWinNtIo() {
    if (!IsAdministrator()) {
        throw PlatformError(
            "Ruvuvuri needs administrator rights on Windows 2000/XP to reach the VGA ports and "
            "the video BIOS; log on as an administrator, or right-click ruvuvuri.exe and choose "
            "\"Run as...\"");
    }
    // The BIOS view first: it changes nothing, while the I/O privilege level,
    // once raised, stays raised.
    static const wchar_t kName[] = L"\\Device\\PhysicalMemory";
    UNICODE_STRING name{static_cast<USHORT>(sizeof kName - sizeof(wchar_t)),
                        static_cast<USHORT>(sizeof kName), const_cast<PWSTR>(kName)};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    HANDLE section = nullptr;
    long status =
        CallNative<NtOpenSectionFn>("NtOpenSection", &section, SECTION_MAP_READ, &attributes);
    if (status != kStatusSuccess) {
        throw PlatformError(
            "this Windows kernel does not let programs read the video BIOS "
            "(\\Device\\PhysicalMemory: status " +
            StatusText(status) +
            "); Ruvuvuri needs 32-bit Windows 2000, XP or Server 2003 before SP1, run as an "
            "administrator");
    }
    Handle physical_memory(section);
    status = RaiseIoplWithTcb();
    if (status == kStatusPrivilegeNotHeld) {
        throw PlatformError(
            "the Tcb privilege (\"act as part of the operating system\") was not granted for "
            "port access (status " +
            StatusText(status) + "); run Ruvuvuri as a local administrator");
    }
    // Some kernels report success without raising it: EFLAGS tells (bits 12-13).
    const auto iopl = static_cast<unsigned>((__readeflags() >> 12) & 3);
    if (status != kStatusSuccess || iopl != 3) {
        throw PlatformError(
            "this Windows kernel does not grant programs access to the VGA ports "
            "(ProcessUserModeIOPL: status " +
            StatusText(status) + ", IOPL " + std::to_string(iopl) +
            "); Ruvuvuri needs 32-bit Windows 2000 or XP");
    }
    return std::make_unique<WinDirectIo>(std::move(physical_memory));
}

// Where only an administrator writes: beside the program on the 95 family (one
// user, no rights), in the Windows folder on the NT family. A boot is told by
// the time it began, to the second: now less the milliseconds the system runs.
RealCardFiles RealCardFilesHere() {
    char folder[MAX_PATH] = {};
    if (NtMajorVersion() != 0) {
        const UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
        std::snprintf(folder + (length < MAX_PATH ? length : 0),
                      MAX_PATH - (length < MAX_PATH ? length : 0), "\\Ruvuvuri");
    } else {
        const DWORD length = GetModuleFileNameA(nullptr, folder, MAX_PATH);
        folder[length < MAX_PATH ? length : 0] = '\0';
        if (char* cut = std::strrchr(folder, '\\')) {
            *cut = '\0';
        }
    }
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t now_s =
        ((std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime) / 10000000u;
    const std::string base = folder;
    return {base + "\\started.txt", base + "\\boot-guard.txt",
            "boot=" + std::to_string(now_s - GetTickCount() / 1000u)};
}

// Two readings of the start of one boot differ by the clock's corrections at
// most; a new boot starts at least that much later.
bool SameBoot(const std::string& recorded, const std::string& now) {
    const auto seconds = [](const std::string& boot) {
        return std::strtoll(boot.c_str() + (boot.rfind('=') + 1), nullptr, 10);
    };
    return recorded.starts_with("boot=") && std::llabs(seconds(recorded) - seconds(now)) <= 120;
}

const BackendRecord kWinNtPortsBackend = {
    "windows-nt",
    "the card's VGA ports through IOPL 3 and its BIOS through \\Device\\PhysicalMemory "
    "(Windows 2000/XP, 32-bit); needs an administrator",
    [] { return NtMajorVersion() != 0; },
    true,
    OpenNtPorts,
};

const BackendRecord kWin95PortsBackend = {
    "windows-95",
    "the card's VGA ports and its BIOS directly (Windows 95, 98 and ME)",
    [] { return NtMajorVersion() == 0; },
    true,
    Open95Ports,
};

}  // namespace ruvuvuri::hw
