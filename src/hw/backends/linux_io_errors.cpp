// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/linux_io.h"

#include <cerrno>

#include "base/error_text.h"

namespace ruvuvuri::hw {

using base::ErrorText;

std::string DescribePortAccessFailure(int error) {
    std::string message = "cannot access the VGA I/O ports (ioperm: " + ErrorText(error) + ")";
    switch (error) {
        case EPERM:
        case EACCES:
            return message + "; run as root or grant CAP_SYS_RAWIO";
        case ENOSYS:
            return message +
                   "; this kernel does not offer port access to user space (as in a container or "
                   "a virtual machine without it): run ruvuvuri on the machine with the card, as "
                   "root, or use --sim";
        default:
            return message + "; run ruvuvuri as root on the machine with the card, or use --sim";
    }
}

std::string DescribeMemoryDeviceFailure(int error) {
    std::string message = "cannot read the video BIOS (/dev/mem: " + ErrorText(error) + ")";
    switch (error) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
            return message +
                   "; this system has no /dev/mem: run ruvuvuri as root on the real machine with "
                   "a kernel built with CONFIG_DEVMEM, or use --sim";
        case EPERM:
        case EACCES:
            return message +
                   "; run as root or grant CAP_SYS_RAWIO (a kernel in lockdown mode refuses "
                   "/dev/mem even to root)";
        default:
            return message + "; run ruvuvuri as root on the machine with the card, or use --sim";
    }
}

std::string DescribeNotX86() {
    return "cannot access the VGA I/O ports: this is not an x86 machine, and the card's registers "
           "are reached through x86 I/O ports only; run ruvuvuri on an x86 PC with the card, or "
           "use --sim";
}

}  // namespace ruvuvuri::hw
