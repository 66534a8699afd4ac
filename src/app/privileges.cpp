// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/privileges.h"

#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "app/host.h"
#include "base/error_text.h"
#include "hw/platform_error.h"
#include "hw/realtime_bracket.h"

namespace ruvuvuri::app {
namespace {

// Plain decimal only: no sign, no blanks, no trailing text. (uid_t)-1 means
// "no change" to setuid/setgid and is refused as an id.
template <typename Id>
Id ParseId(const char* name, const char* text) {
    unsigned long long value = 0;
    const char* end = text + std::strlen(text);
    const auto [rest, error] = std::from_chars(text, end, value);
    if (text == end || error != std::errc() || rest != end ||
        value >= std::numeric_limits<Id>::max()) {
        throw hw::PlatformError(std::string(name) + " is not a valid id ('" + text +
                                "'); start ruvuvuri with sudo or pkexec unchanged, or as root "
                                "directly");
    }
    return static_cast<Id>(value);
}

PrivilegeDrop PlanFromSudo(const LauncherVariables& launcher) {
    if (launcher.sudo_uid == nullptr || launcher.sudo_gid == nullptr) {
        const bool uid_missing = launcher.sudo_uid == nullptr;
        throw hw::PlatformError(std::string(uid_missing ? "SUDO_GID" : "SUDO_UID") +
                                " is set but " + (uid_missing ? "SUDO_UID" : "SUDO_GID") +
                                " is not; start ruvuvuri with sudo unchanged, or as root directly");
    }
    const uid_t uid = ParseId<uid_t>("SUDO_UID", launcher.sudo_uid);
    const gid_t gid = ParseId<gid_t>("SUDO_GID", launcher.sudo_gid);
    // sudo from root: the caller was root already.
    return {uid != 0, uid, gid};
}

PrivilegeDrop PlanFromPkexec(const char* pkexec_uid, const PrimaryGroupLookup& primary_group) {
    const uid_t uid = ParseId<uid_t>("PKEXEC_UID", pkexec_uid);
    if (uid == 0) {
        return {};
    }
    // pkexec passes no group: the user's own primary group is the one it had.
    const std::optional<gid_t> gid = primary_group(uid);
    if (!gid) {
        throw hw::PlatformError("PKEXEC_UID names uid " + std::to_string(uid) +
                                ", which has no entry in the user database; start ruvuvuri "
                                "with pkexec as a known user, or as root directly");
    }
    return {true, uid, *gid};
}

[[noreturn]] void Fail(const std::string& what, const PrivilegeDrop& plan) {
    throw hw::PlatformError("cannot give up root for the invoking user (uid " +
                            std::to_string(plan.uid) + ", gid " + std::to_string(plan.gid) +
                            "): " + what + "; run ruvuvuri as root directly");
}

void Check(int result, const char* call, const PrivilegeDrop& plan) {
    if (result != 0) {
        Fail(std::string(call) + ": " + base::ErrorText(errno), plan);
    }
}

// Raises a limit to `needed` when it is lower, and no further.
void RaiseLimitTo(int resource, rlim_t needed) {
    rlimit limit{};
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur >= needed) {
        return;
    }
    limit.rlim_cur = needed;
    if (limit.rlim_max < needed) {
        limit.rlim_max = needed;
    }
    ::setrlimit(resource, &limit);
}

// The interrupt bracket raises the thread to its real-time priority and locks
// memory, which an ordinary user may do only as far as its resource limits
// allow. Limits outlive the change of ids, so root raises them first, just to
// what the bracket uses. A refusal only weakens the bracket to blocking
// signals, so it is not an error.
void KeepBracketProtection() {
    RaiseLimitTo(RLIMIT_RTPRIO, static_cast<rlim_t>(hw::BracketPriority()));
    RaiseLimitTo(RLIMIT_MEMLOCK, static_cast<rlim_t>(hw::kBracketLockedMemoryBytes));
}

std::optional<gid_t> PrimaryGroupFromUserDatabase(uid_t uid) {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    return found->pw_gid;
}

}  // namespace

PrivilegeDrop PlanPrivilegeDrop(const ProcessIds& ids, const LauncherVariables& launcher,
                                const PrimaryGroupLookup& primary_group) {
    if (ids.effective_uid != 0) {
        return {};
    }
    if (ids.real_uid != 0) {
        return {true, ids.real_uid, ids.real_gid};
    }
    if (launcher.sudo_uid != nullptr || launcher.sudo_gid != nullptr) {
        return PlanFromSudo(launcher);
    }
    if (launcher.pkexec_uid != nullptr) {
        return PlanFromPkexec(launcher.pkexec_uid, primary_group);
    }
    return {};
}

void DropPrivileges(const PrivilegeDrop& plan) {
    if (!plan.drop) {
        return;
    }
    KeepBracketProtection();
    Check(::setgroups(0, nullptr), "setgroups", plan);
    Check(::setgid(plan.gid), "setgid", plan);
    Check(::setuid(plan.uid), "setuid", plan);
    if (::getuid() != plan.uid || ::geteuid() != plan.uid || ::getgid() != plan.gid ||
        ::getegid() != plan.gid) {
        Fail("the ids did not change", plan);
    }
    if (::setuid(0) == 0) {
        Fail("root could still be regained", plan);
    }
}

void host::DropToInvokingUser() {
    const ProcessIds ids{::getuid(), ::geteuid(), ::getgid()};
    const LauncherVariables launcher{std::getenv("SUDO_UID"), std::getenv("SUDO_GID"),
                                     std::getenv("PKEXEC_UID")};
    DropPrivileges(PlanPrivilegeDrop(ids, launcher, PrimaryGroupFromUserDatabase));
}

}  // namespace ruvuvuri::app
