// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/backend_table.h"

namespace ruvuvuri::app {

const hw::BackendRecord& ChooseBackend(Backend choice) {
    const hw::BackendRecord* first = nullptr;
    for (const BackendEntry& entry : BackendTable()) {
        if (entry.choice != choice) {
            continue;
        }
        if (entry.record.detect()) {
            return entry.record;
        }
        if (first == nullptr) {
            first = &entry.record;
        }
    }
    return *first;
}

}  // namespace ruvuvuri::app
