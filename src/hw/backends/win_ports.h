// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>

#include "hw/backend.h"
#include "hw/port_io.h"

namespace ruvuvuri::hw {

// One record per family (the NT family's refuses 64-bit Windows).
extern const BackendRecord kWinNtPortsBackend;
extern const BackendRecord kWin95PortsBackend;

// Without the lock and the 64-bit refusal, so that the tests under 64-bit wine
// reach its own refusals. Throws PlatformError with one sentence for each (not
// an administrator, no Tcb privilege, a kernel that does not map physical
// memory or grant IOPL).
std::unique_ptr<PortIo> OpenWinNtIo();

// The NT family's major version (5 for 2000 and XP), 0 on the 95 family.
unsigned long NtMajorVersion();

}  // namespace ruvuvuri::hw
