// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/linux_io.h"
#include "hw/backends/run_lock.h"

namespace ruvuvuri::hw {
namespace {

bool BuiltForX86() {
#if defined(__x86_64__) || defined(__i386__)
    return true;
#else
    return false;
#endif
}

std::unique_ptr<OpenedBackend> OpenLinuxPorts(const BackendRequest&) {
    return std::make_unique<LockedPorts<RunLock>>(OpenLinuxIo());
}

}  // namespace

const BackendRecord kLinuxPortsBackend = {
    "linux",        "the card's VGA ports through ioperm and its BIOS through /dev/mem; needs root",
    BuiltForX86,    true,
    OpenLinuxPorts,
};

}  // namespace ruvuvuri::hw
