#include "app/backend_table.h"

#include "app/sim_backends.h"
#include "hw/backends/linux_io.h"

namespace ruvuvuri::app {
namespace {

struct BackendEntry {
    Backend choice;
    const hw::BackendRecord& record;
};

// Every backend a run can work on, as libpci lists its access methods. A new
// platform adds its records here, the real-hardware ones in order of
// preference; nothing else in the program changes. Every choice has at least
// one record (backend_table_test).
const BackendEntry kBackends[] = {
    {Backend::Hardware, hw::kLinuxPortsBackend},
    {Backend::BuiltInSim, kBuiltInSimBackend},
    {Backend::ProfileSim, kProfileSimBackend},
};

}  // namespace

const hw::BackendRecord& ChooseBackend(Backend choice) {
    const hw::BackendRecord* first = nullptr;
    for (const BackendEntry& entry : kBackends) {
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
