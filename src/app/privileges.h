// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>

namespace ruvuvuri::app {

// Who to become once what needs root is held. The program runs as root only for
// the ports, /dev/mem, the run lock and the real-time limits, and then goes on as
// the user who invoked it, so that every file whose path that user gave (trace,
// profile, the BIOS file a profile names) is opened with that user's rights.
struct PrivilegeDrop {
    bool drop = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

struct ProcessIds {
    uid_t real_uid = 0;
    uid_t effective_uid = 0;
    gid_t real_gid = 0;
};

// What sudo and pkexec leave in the environment (nullptr when unset).
struct LauncherVariables {
    const char* sudo_uid = nullptr;
    const char* sudo_gid = nullptr;
    const char* pkexec_uid = nullptr;
};

// A user's primary group from the user database; nullopt when it has no entry.
using PrimaryGroupLookup = std::function<std::optional<gid_t>(uid_t)>;

// Not root: nothing to give up. Installed setuid-root (the real uid is not
// root): back to the real user and group; the launcher variables are not even
// read, since whoever runs the program sets them. Really root (a real sudo or
// pkexec, or root itself): SUDO_UID/SUDO_GID, else PKEXEC_UID with that user's
// primary group; neither set, or set to root: nothing to drop. Throws
// hw::PlatformError for values that are not ids, when only one of SUDO_UID and
// SUDO_GID is set, or when PKEXEC_UID names no known user.
PrivilegeDrop PlanPrivilegeDrop(const ProcessIds& ids, const LauncherVariables& launcher,
                                const PrimaryGroupLookup& primary_group);

// Raises the real-time limits just as far as the interrupt bracket needs, gives
// up the supplementary groups, then the group, then the user (the group cannot
// be changed once the user is no longer root), and checks that root cannot be
// regained. Throws hw::PlatformError on failure. Does nothing when plan.drop is
// false.
// host::DropToInvokingUser does both for this process, its environment and the
// user database.
void DropPrivileges(const PrivilegeDrop& plan);

}  // namespace ruvuvuri::app
