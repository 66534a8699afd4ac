// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/backend_table.h"
#include "app/sim_backends.h"
#include "hw/backends/win_ports.h"

namespace ruvuvuri::app {
namespace {

// The real card on Windows: the NT family's record first (2000/XP, and the
// 64-bit systems it refuses), then the 95 family's.
const BackendEntry kBackends[] = {
    {Backend::Hardware, hw::kWinNtPortsBackend},
    {Backend::Hardware, hw::kWin95PortsBackend},
    {Backend::BuiltInSim, kBuiltInSimBackend},
    {Backend::ProfileSim, kProfileSimBackend},
};

}  // namespace

std::span<const BackendEntry> BackendTable() {
    return kBackends;
}

}  // namespace ruvuvuri::app
