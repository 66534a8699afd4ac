// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/linux_io.h"

#if defined(__x86_64__) || defined(__i386__)
#define RUVUVURI_X86 1
#include <fcntl.h>
#include <sys/io.h>
#include <unistd.h>

#include <cerrno>

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

}  // namespace ruvuvuri::hw
