// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/backend_table.h"

#include "app/host.h"
#include "app/sim_backends.h"

namespace ruvuvuri::app {

const hw::BackendRecord& ChooseBackend(Backend choice) {
    if (choice == Backend::BuiltInSim) {
        return kBuiltInSimBackend;
    }
    if (choice == Backend::ProfileSim) {
        return kProfileSimBackend;
    }
    const std::span<const hw::BackendRecord* const> records = host::HardwareBackends();
    for (const hw::BackendRecord* record : records) {
        if (record->detect()) {
            return *record;
        }
    }
    return *records.front();
}

}  // namespace ruvuvuri::app
