// SPDX-License-Identifier: GPL-2.0-or-later
// The real card on x86 Linux: its record, the ports and /dev/mem, and the
// messages that say why they cannot be had.
#include "hw/backends/linux_io.h"

#include <cerrno>

#include "base/error_text.h"
#include "hw/backends/run_lock.h"

#if defined(__x86_64__) || defined(__i386__)
#define RUVUVURI_X86 1
#include <fcntl.h>
#include <sys/io.h>
#include <unistd.h>

#include "hw/realtime_bracket.h"
#endif

namespace ruvuvuri::hw {

#ifdef RUVUVURI_X86
namespace {

// The VGA register block: MDA CRT controller at 0x3B4, attribute, sequencer
// and misc output at 0x3C0-0x3CF, colour CRT controller at 0x3D4 and the
// card's real-mode register window at 0x3D0/0x3D2. Nothing outside it is ever
// touched, so nothing outside it is asked for.
constexpr unsigned long kFirstPort = 0x3B0;
constexpr unsigned long kPortCount = 0x30;

// Port permission belongs to the calling thread: the program opens the
// backend on the thread that then drives the card.
class LinuxIo final : public PortIo {
  public:
    LinuxIo() {
        if (::ioperm(kFirstPort, kPortCount, 1) != 0) {
            throw PlatformError(DescribePortAccessFailure(errno));
        }
        mem_fd_ = ::open("/dev/mem", O_RDONLY | O_CLOEXEC);
        if (mem_fd_ < 0) {
            const int error = errno;
            ::ioperm(kFirstPort, kPortCount, 0);
            throw PlatformError(DescribeMemoryDeviceFailure(error));
        }
    }
    ~LinuxIo() override {
        bracket_.Leave();
        ::close(mem_fd_);
        ::ioperm(kFirstPort, kPortCount, 0);
    }
    LinuxIo(const LinuxIo&) = delete;
    LinuxIo& operator=(const LinuxIo&) = delete;

    // The <sys/io.h> helpers take the value first, then the port.
    std::uint8_t inb(std::uint16_t port) override { return ::inb(port); }
    void outb(std::uint16_t port, std::uint8_t value) override { ::outb(value, port); }
    std::uint16_t inw(std::uint16_t port) override { return ::inw(port); }
    void outw(std::uint16_t port, std::uint16_t value) override { ::outw(value, port); }

    // A short or failed read leaves the rest of `dest` untouched.
    void ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) override {
        std::size_t done = 0;
        while (done < dest.size()) {
            const ssize_t got = ::pread(mem_fd_, dest.data() + done, dest.size() - done,
                                        static_cast<off_t>(address) + static_cast<off_t>(done));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return;
            }
            done += static_cast<std::size_t>(got);
        }
    }

    void DisableInterrupts() override { bracket_.Enter(); }
    void EnableInterrupts() override { bracket_.Leave(); }

  private:
    int mem_fd_ = -1;
    RealtimeBracket bracket_;
};

}  // namespace
#endif

std::unique_ptr<PortIo> OpenLinuxIo() {
#ifdef RUVUVURI_X86
    return std::make_unique<LinuxIo>();
#else
    throw PlatformError(DescribeNotX86());
#endif
}

std::string DescribePortAccessFailure(int error) {
    std::string message =
        "cannot access the VGA I/O ports (ioperm: " + base::ErrorText(error) + ")";
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
    std::string message = "cannot read the video BIOS (/dev/mem: " + base::ErrorText(error) + ")";
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

const BackendRecord kLinuxPortsBackend = {
    "linux",
    "the card's VGA ports through ioperm and its BIOS through /dev/mem; needs root",
    [] {
#ifdef RUVUVURI_X86
        return true;
#else
        return false;
#endif
    },
    true,
    [](const std::string&) -> std::unique_ptr<OpenedBackend> {
        return std::make_unique<LockedPorts<RunLock>>(OpenLinuxIo());
    },
};

}  // namespace ruvuvuri::hw
