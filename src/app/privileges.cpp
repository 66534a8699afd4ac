#include "app/privileges.h"

#include <grp.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "base/error_text.h"
#include "hw/platform_error.h"

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
                                "'); start ruvuvuri with sudo unchanged, or as root directly");
    }
    return static_cast<Id>(value);
}

[[noreturn]] void Fail(const std::string& what, const PrivilegeDrop& plan) {
    throw hw::PlatformError("cannot give up root for the sudo user (uid " +
                            std::to_string(plan.uid) + ", gid " + std::to_string(plan.gid) +
                            "): " + what + "; run ruvuvuri as root directly");
}

[[noreturn]] void FailCall(const char* call, int error, const PrivilegeDrop& plan) {
    Fail(std::string(call) + ": " + base::ErrorText(error), plan);
}

// The interrupt bracket raises the thread to the highest real-time priority and
// locks memory, which an ordinary user may do only as far as its resource limits
// allow. Limits outlive the change of ids, so root raises them first and the
// bracket keeps its full protection after the drop. A refusal only weakens the
// bracket to blocking signals, so it is not an error.
void KeepBracketProtection() {
    const auto top = static_cast<rlim_t>(sched_get_priority_max(SCHED_FIFO));
    const rlimit priority{top, top};
    ::setrlimit(RLIMIT_RTPRIO, &priority);
    const rlimit memory{RLIM_INFINITY, RLIM_INFINITY};
    ::setrlimit(RLIMIT_MEMLOCK, &memory);
}

}  // namespace

PrivilegeDrop PlanPrivilegeDrop(const char* sudo_uid, const char* sudo_gid, uid_t effective_uid) {
    PrivilegeDrop plan;
    if (effective_uid != 0 || (sudo_uid == nullptr && sudo_gid == nullptr)) {
        return plan;
    }
    if (sudo_uid == nullptr || sudo_gid == nullptr) {
        throw hw::PlatformError(std::string(sudo_uid == nullptr ? "SUDO_GID" : "SUDO_UID") +
                                " is set but " + (sudo_uid == nullptr ? "SUDO_UID" : "SUDO_GID") +
                                " is not; start ruvuvuri with sudo unchanged, or as root directly");
    }
    plan.uid = ParseId<uid_t>("SUDO_UID", sudo_uid);
    plan.gid = ParseId<gid_t>("SUDO_GID", sudo_gid);
    // sudo from root: the caller was root already.
    plan.drop = plan.uid != 0;
    return plan;
}

void DropPrivileges(const PrivilegeDrop& plan) {
    if (!plan.drop) {
        return;
    }
    KeepBracketProtection();
    if (::setgroups(0, nullptr) != 0) {
        FailCall("setgroups", errno, plan);
    }
    if (::setgid(plan.gid) != 0) {
        FailCall("setgid", errno, plan);
    }
    if (::setuid(plan.uid) != 0) {
        FailCall("setuid", errno, plan);
    }
    if (::getuid() != plan.uid || ::geteuid() != plan.uid || ::getgid() != plan.gid ||
        ::getegid() != plan.gid) {
        Fail("the ids did not change", plan);
    }
    if (::setuid(0) == 0) {
        Fail("root could still be regained", plan);
    }
}

void DropSudoPrivileges() {
    DropPrivileges(
        PlanPrivilegeDrop(std::getenv("SUDO_UID"), std::getenv("SUDO_GID"), ::geteuid()));
}

}  // namespace ruvuvuri::app
