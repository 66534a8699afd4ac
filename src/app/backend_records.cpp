// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/backend_table.h"
#include "app/sim_backends.h"
#include "hw/backends/linux_io.h"

namespace ruvuvuri::app {
namespace {

// A new platform adds its records in a list of its own; nothing else in the
// program changes.
const BackendEntry kBackends[] = {
    {Backend::Hardware, hw::kLinuxPortsBackend},
    {Backend::BuiltInSim, kBuiltInSimBackend},
    {Backend::ProfileSim, kProfileSimBackend},
};

}  // namespace

std::span<const BackendEntry> BackendTable() {
    return kBackends;
}

}  // namespace ruvuvuri::app
