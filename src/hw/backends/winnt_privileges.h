// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

namespace ruvuvuri::hw::nt {

// Whether the process runs with the Administrators group enabled in its token.
// True where the system cannot tell (CheckTokenMembership is 2000 and later):
// the calls that follow then give their own refusal.
bool IsAdministrator();

// ProcessUserModeIOPL needs the Tcb privilege ("act as part of the operating
// system"), which administrators do not hold but the local security authority
// does: the call is made once while impersonating a duplicate of its token,
// then the thread reverts to its own. Returns the call's status; throws
// PlatformError naming the step when the privilege cannot be obtained.
long RaiseIoplWithTcb();

}  // namespace ruvuvuri::hw::nt
