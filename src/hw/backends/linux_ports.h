#pragma once

#include "hw/backend.h"

namespace ruvuvuri::hw {

// The real card on x86 Linux: the ports and /dev/mem (linux_io), held with the
// hardware lock (run_lock) so that one run at a time drives the card.
extern const BackendRecord kLinuxPortsBackend;

}  // namespace ruvuvuri::hw
