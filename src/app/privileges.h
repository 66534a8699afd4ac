#pragma once

#include <sys/types.h>

namespace ruvuvuri::app {

// Who to become once the hardware is open. Started through sudo, the program
// runs as root only for what needs it (the ports, /dev/mem, the run lock) and
// then goes on as the user who called sudo, so that files it writes (traces,
// simulator profiles) belong to that user.
struct PrivilegeDrop {
    bool drop = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

// Decides from the SUDO_UID and SUDO_GID values (nullptr when unset) and the
// effective user id. Not root, or not started through sudo, or sudo from root:
// nothing to drop. Throws hw::PlatformError for values that are not user and
// group ids, or when only one of the two is set.
PrivilegeDrop PlanPrivilegeDrop(const char* sudo_uid, const char* sudo_gid, uid_t effective_uid);

// Gives up the supplementary groups, then the group, then the user (the group
// cannot be changed once the user is no longer root), and checks that root
// cannot be regained. Throws hw::PlatformError on failure. Does nothing when
// plan.drop is false.
void DropPrivileges(const PrivilegeDrop& plan);

// Both of the above, for this process and its environment.
void DropSudoPrivileges();

}  // namespace ruvuvuri::app
