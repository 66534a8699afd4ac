// SPDX-License-Identifier: GPL-2.0-or-later
// The real card on Linux, with the RealtimeBracket of realtime_bracket.h.
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <thread>

#include "base/error_text.h"
#include "hw/backends/linux_io.h"
#include "hw/realtime_bracket.h"

#if defined(__x86_64__) || defined(__i386__)
#define RUVUVURI_X86 1
#include <sys/io.h>
#endif

namespace ruvuvuri::hw {

int BracketPriority() {
    const int max = sched_get_priority_max(SCHED_FIFO);
    return max > 0 ? max : 0;
}

// Looked up once here, so Enter() does only the calls that change state.
RealtimeBracket::RealtimeBracket() : priority_(BracketPriority()) {}

void RealtimeBracket::Enter() {
    if (entered_) {
        return;
    }
    entered_ = true;
    signals_.Block();
    memory_locked_ = mlockall(MCL_CURRENT | MCL_FUTURE) == 0;
    priority_raised_ = false;
    const pthread_t self = pthread_self();
    if (priority_ > 0 && pthread_getschedparam(self, &saved_policy_, &saved_param_) == 0) {
        sched_param fifo{};
        fifo.sched_priority = priority_;
        priority_raised_ = pthread_setschedparam(self, SCHED_FIFO, &fifo) == 0;
    }
}

void RealtimeBracket::Leave() {
    if (!entered_) {
        return;
    }
    entered_ = false;
    if (priority_raised_) {
        pthread_setschedparam(pthread_self(), saved_policy_, &saved_param_);
    }
    if (memory_locked_) {
        munlockall();
    }
    // Last, so that a pending signal's handler runs at the thread's own
    // priority and with memory unlocked.
    signals_.Restore();
}

namespace {

constexpr auto kPoll = std::chrono::milliseconds(50);

[[noreturn]] void Refuse(const std::string& what, int error) {
    throw PlatformError(what + " (" + base::ErrorText(error) + "); " +
                        (error == ELOOP || error == ENOTDIR
                             ? "it is not what it should be: remove it as root and run again"
                             : "run ruvuvuri as root, on a system with a /run folder"));
}

}  // namespace

RunLock::RunLock(const std::string& folder, std::chrono::milliseconds wait) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        Refuse("cannot create the lock folder " + folder, errno);
    }
    const int folder_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder_fd < 0) {
        Refuse("cannot open the lock folder " + folder, errno);
    }
    // Read-only is enough for flock; O_NONBLOCK keeps anything but a file from
    // stalling the open.
    fd_ = ::openat(folder_fd, kRunLockFileName,
                   O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    const int open_error = errno;
    ::close(folder_fd);
    const std::string path = folder + "/" + kRunLockFileName;
    if (fd_ < 0) {
        Refuse("cannot open the lock file " + path, open_error);
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error != EWOULDBLOCK && error != EINTR) {
            ::close(fd_);
            throw PlatformError("cannot lock " + path + " (" + base::ErrorText(error) +
                                "); check that the folder is on a local file system");
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd_);
            throw PlatformError(
                "another ruvuvuri run is using the card; try again when it has finished");
        }
        std::this_thread::sleep_for(kPoll);
    }
}

RunLock::~RunLock() {
    // Closing the only descriptor of the open file releases the lock.
    ::close(fd_);
}

#ifdef RUVUVURI_X86
namespace {

// The VGA register block (MDA CRT controller at 0x3B4, attribute, sequencer and
// misc output at 0x3C0-0x3CF, colour CRT controller at 0x3D4, register window at
// 0x3D0/0x3D2): nothing outside it is ever touched, so nothing else is asked for.
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

// The record of the clocks the card started with lives in the lock's folder
// on /run, which a reboot empties, as the card forgets its clocks; the kernel's
// boot ID tells a record left from another boot all the same.
RealCardFiles RealCardFilesHere() {
    char boot[64] = "";
    if (std::FILE* id = std::fopen("/proc/sys/kernel/random/boot_id", "r")) {
        if (std::fscanf(id, "%63s", boot) != 1) {
            boot[0] = '\0';
        }
        std::fclose(id);
    }
    return {std::string(kRunLockFolder) + "/started", "/var/lib/ruvuvuri/boot-guard",
            std::string("boot=") + boot};
}

bool SameBoot(const std::string& recorded, const std::string& now) {
    return recorded == now;
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
