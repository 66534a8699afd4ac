// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "hw/backend.h"

namespace ruvuvuri::hw {

// The real card on Windows, one record per family, each held with the
// hardware lock (win_run_lock) so that one run at a time drives the card.
// Windows 2000/XP (32-bit): IOPL 3 and \Device\PhysicalMemory, as an
// administrator (winnt_io); 64-bit Windows is refused. Windows 95/98/ME:
// direct port access and the BIOS read in place (win9x_io).
extern const BackendRecord kWinNtPortsBackend;
extern const BackendRecord kWin95PortsBackend;

}  // namespace ruvuvuri::hw
