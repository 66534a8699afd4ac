// SPDX-License-Identifier: GPL-2.0-or-later
#include <windows.h>
// Needs the types of windows.h.
#include <tlhelp32.h>

#include <cstring>

#include "base/win_error_text.h"
#include "hw/backends/winnt_native.h"
#include "hw/platform_error.h"

namespace ruvuvuri::hw::nt {
namespace {

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
    Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        return 0;
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        const char* base = std::strrchr(entry.szExeFile, '\\');
        if (lstrcmpiA(base ? base + 1 : entry.szExeFile, name) == 0) {
            return entry.th32ProcessID;
        }
    }
    return 0;
}

}  // namespace

bool IsAdministrator() {
    using CheckTokenMembershipFn = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);
    const auto check = Lookup<CheckTokenMembershipFn>("advapi32.dll", "CheckTokenMembership");
    if (check == nullptr) {
        return true;
    }
    SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
        return true;
    }
    BOOL member = FALSE;
    const BOOL checked = check(nullptr, administrators, &member);
    FreeSid(administrators);
    return !checked || member;
}

long RaiseIoplWithTcb() {
    Handle own;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, own.out())) {
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
    Handle authority(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, authority_id));
    RequireForTcb(authority.get() != nullptr, "opening lsass.exe");
    Handle token;
    RequireForTcb(OpenProcessToken(authority.get(), TOKEN_DUPLICATE | TOKEN_QUERY, token.out()),
                  "opening the token of lsass.exe");
    Handle borrowed;
    RequireForTcb(
        DuplicateTokenEx(token.get(), TOKEN_IMPERSONATE | TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES,
                         nullptr, SecurityImpersonation, TokenImpersonation, borrowed.out()),
        "duplicating the token of lsass.exe");
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

}  // namespace ruvuvuri::hw::nt
