#include "app/backend_table.h"

#include "app/sim_backends.h"
#include "hw/backends/linux_ports.h"

namespace ruvuvuri::app {
namespace {

struct BackendEntry {
    Backend choice;
    const hw::BackendRecord& record;
};

// Every backend a run can work on, as libpci lists its access methods. A new
// platform adds its records here, the real-hardware ones in order of
// preference; nothing else in the program changes.
constexpr BackendEntry kBackends[] = {
    {Backend::Hardware, hw::kLinuxPortsBackend},
    {Backend::BuiltInSim, kBuiltInSimBackend},
    {Backend::ProfileSim, kProfileSimBackend},
};

constexpr bool Serves(Backend choice) {
    for (const BackendEntry& entry : kBackends) {
        if (entry.choice == choice) {
            return true;
        }
    }
    return false;
}
static_assert(Serves(Backend::Hardware) && Serves(Backend::BuiltInSim) &&
                  Serves(Backend::ProfileSim),
              "every backend choice needs a record");

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
    return *first;  // never null: every choice has a record (checked above)
}

}  // namespace ruvuvuri::app
