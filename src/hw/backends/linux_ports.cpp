// SPDX-License-Identifier: GPL-2.0-or-later
#include <optional>

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

class LinuxPorts final : public OpenedBackend {
  public:
    LinuxPorts() {
        io_ = OpenLinuxIo();
        // One run at a time on the real card: two interleaved register window
        // sequences would corrupt each other's accesses.
        lock_.emplace();
    }
    PortIo& io() override { return *io_; }

  private:
    // Declared first, so that the ports are given back before the lock is.
    std::optional<RunLock> lock_;
    std::unique_ptr<PortIo> io_;
};

std::unique_ptr<OpenedBackend> OpenLinuxPorts(const BackendRequest&) {
    return std::make_unique<LinuxPorts>();
}

}  // namespace

const BackendRecord kLinuxPortsBackend = {
    "linux",        "the card's VGA ports through ioperm and its BIOS through /dev/mem; needs root",
    BuiltForX86,    true,
    OpenLinuxPorts,
};

}  // namespace ruvuvuri::hw
