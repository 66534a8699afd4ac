// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/sim_card.h"

#include <cstdarg>
#include <cstdio>

namespace ruvuvuri::hw {

namespace {

constexpr std::uint16_t kMiscOutputRead = 0x3CC;
constexpr std::uint16_t kMiscOutputWrite = 0x3C2;
constexpr std::uint16_t kColourIndexPort = 0x3D4;
constexpr std::uint16_t kMonoIndexPort = 0x3B4;
constexpr std::uint16_t kWindowPort = 0x3D0;  // bytes 0..3 at 0x3D0..0x3D3
constexpr std::uint8_t kNotAnswering = 0xFF;

constexpr std::uint8_t kFirstExtendedIndex = 0x19;
constexpr std::uint8_t kLockIndex = 0x1F;
constexpr std::uint8_t kWindowIndex = 0x38;
constexpr std::uint8_t kUnlockValue = 0x57;
constexpr std::uint8_t kReadOnlyUnlockValue = 0x75;
constexpr std::uint8_t kUnlockedReadback = 0x03;
constexpr std::uint8_t kReadOnlyReadback = 0x01;
constexpr std::uint8_t kLockedReadback = 0x00;

// CR38 bit 0 enables the window, bits 3..1 select the window register.
constexpr std::uint8_t kWindowEnable = 0x01;
enum WindowRegister : unsigned { kSignature = 0, kAddress = 1, kData = 2, kPartialData = 3 };
constexpr std::uint32_t kWindowSignature = 0x2B16D065;
constexpr std::uint32_t kAddressMask = ~std::uint32_t{3};

constexpr std::uint32_t kStraps = 0x101000;
constexpr std::uint32_t kStrapOverride = 0x80000000;
constexpr std::uint32_t kCorePll = 0x680500;
constexpr std::uint32_t kMemoryPll = 0x680504;
constexpr std::uint32_t kPllSelect = 0x68050C;
constexpr std::uint32_t kPllTestCounter = 0x680514;
constexpr std::uint32_t kPllsLocked = 0xE0000000;  // core, memory and pixel PLL lock

constexpr std::uint32_t kBiosBase = 0xC0000;

std::uint8_t ByteOf(std::uint32_t word, unsigned byte) {
    return static_cast<std::uint8_t>(word >> (8 * byte));
}

std::uint32_t WithByte(std::uint32_t word, unsigned byte, std::uint8_t value) {
    const unsigned shift = 8 * byte;
    return (word & ~(std::uint32_t{0xFF} << shift)) | (std::uint32_t{value} << shift);
}

}  // namespace

// A 16-bit access is exactly two byte accesses, low byte first.
std::uint16_t SimCard::inw(std::uint16_t port) {
    const std::uint8_t low = inb(port);
    const std::uint8_t high = inb(static_cast<std::uint16_t>(port + 1));
    return static_cast<std::uint16_t>(low | (high << 8));
}

void SimCard::outw(std::uint16_t port, std::uint16_t value) {
    outb(port, static_cast<std::uint8_t>(value));
    outb(static_cast<std::uint16_t>(port + 1), static_cast<std::uint8_t>(value >> 8));
}

void SimCard::ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) {
    for (std::size_t i = 0; i < dest.size(); ++i) {
        const std::uint64_t at = std::uint64_t{address} + i;
        const bool in_bios = at >= kBiosBase && at - kBiosBase < state_.bios.size();
        dest[i] = in_bios ? state_.bios[at - kBiosBase] : 0;
    }
}

void SimCard::DisableInterrupts() {
    if (interrupts_disabled_) {
        Fault("DisableInterrupts called while interrupts are already disabled");
        return;
    }
    interrupts_disabled_ = true;
}

void SimCard::EnableInterrupts() {
    if (!interrupts_disabled_) {
        Fault("EnableInterrupts called while interrupts are not disabled");
        return;
    }
    interrupts_disabled_ = false;
}

std::uint8_t SimCard::inb(std::uint16_t port) {
    const std::uint16_t index_port = CrtcIndexPort();
    if (port == kMiscOutputRead) {
        return state_.misc_output;
    }
    if (port == index_port) {
        return state_.crtc_index;
    }
    if (port == index_port + 1 && state_.crtc_index == kLockIndex) {
        return !state_.extended_unlocked ? kLockedReadback
               : ReadOnlyUnlock()        ? kReadOnlyReadback
                                         : kUnlockedReadback;
    }
    if (port == index_port + 1) {
        const bool locked = state_.crtc_index >= kFirstExtendedIndex && !state_.extended_unlocked;
        return locked ? 0x00 : Crtc(state_.crtc_index);
    }
    if (port >= kWindowPort && port < kWindowPort + 4) {
        return ReadWindow(port - kWindowPort);
    }
    return kNotAnswering;
}

void SimCard::outb(std::uint16_t port, std::uint8_t value) {
    const std::uint16_t index_port = CrtcIndexPort();
    if (port == kMiscOutputWrite) {
        state_.misc_output = value;
    } else if (port == index_port) {
        state_.crtc_index = value;
    } else if (port == index_port + 1 && state_.crtc_index == kLockIndex) {
        const std::uint8_t readback = value == kUnlockValue           ? kUnlockedReadback
                                      : value == kReadOnlyUnlockValue ? kReadOnlyReadback
                                                                      : kLockedReadback;
        state_.extended_unlocked = readback != kLockedReadback;
        state_.crtc[kLockIndex] = readback;
    } else if (port == index_port + 1) {
        // The extended registers take nothing while locked or unlocked read-only.
        if (state_.crtc_index < kFirstExtendedIndex ||
            (state_.extended_unlocked && !ReadOnlyUnlock())) {
            state_.crtc[state_.crtc_index] = value;
        }
    } else if (port >= kWindowPort && port < kWindowPort + 4) {
        WriteWindow(port - kWindowPort, value);
    }
}

std::uint16_t SimCard::CrtcIndexPort() const {
    return (state_.misc_output & 0x01) ? kColourIndexPort : kMonoIndexPort;
}

std::uint8_t SimCard::Crtc(std::uint8_t index) const {
    const auto it = state_.crtc.find(index);
    return it == state_.crtc.end() ? 0x00 : it->second;
}

bool SimCard::ReadOnlyUnlock() const {
    return state_.extended_unlocked && Crtc(kLockIndex) == kReadOnlyReadback;
}

bool SimCard::WindowAnswers(std::uint16_t port, const char* access) {
    if (!state_.extended_unlocked) {
        Fault("window port 0x%03x %s while the extended CRT controller registers are locked", port,
              access);
        return false;
    }
    if (!(Crtc(kWindowIndex) & kWindowEnable)) {
        Fault("window port 0x%03x %s while the window is disabled (CR38 0x%02x)", port, access,
              Crtc(kWindowIndex));
        return false;
    }
    return true;
}

std::uint8_t SimCard::ReadWindow(unsigned byte) {
    if (!WindowAnswers(static_cast<std::uint16_t>(kWindowPort + byte), "read")) {
        return kNotAnswering;
    }
    switch ((Crtc(kWindowIndex) >> 1) & 0x07) {
        case kSignature:
            return ByteOf(kWindowSignature, byte);
        case kAddress:
            return ByteOf(state_.window_address & kAddressMask, byte);
        case kData: {
            // Every port read is a read of the register, as on the card.
            const std::uint32_t address = state_.window_address & kAddressMask;
            std::uint32_t& value = state_.registers[address];
            if (address == kPllTestCounter) {
                value |= kPllsLocked;
            }
            return ByteOf(value, byte);
        }
        case kPartialData:
            return byte < 2 ? ByteOf(state_.window_latch, byte) : 0x00;
        default:
            return kNotAnswering;  // no window register behind this selection
    }
}

void SimCard::WriteWindow(unsigned byte, std::uint8_t value) {
    if (!WindowAnswers(static_cast<std::uint16_t>(kWindowPort + byte), "written")) {
        return;
    }
    const std::uint32_t address = state_.window_address & kAddressMask;
    const unsigned mode = (Crtc(kWindowIndex) >> 1) & 0x07;
    switch (mode) {
        case kAddress:
            state_.window_address = WithByte(state_.window_address, byte, value) & kAddressMask;
            return;
        case kPartialData:
            if (byte < 2) {
                state_.window_latch =
                    static_cast<std::uint16_t>(WithByte(state_.window_latch, byte, value));
                return;
            }
            [[fallthrough]];
        case kData:
            data_bytes_[byte] = value;
            if (byte == 3) {
                // In partial mode the high word goes out with whatever the latch holds.
                const std::uint32_t low = mode == kData ? std::uint32_t{data_bytes_[0]} |
                                                              std::uint32_t{data_bytes_[1]} << 8
                                                        : state_.window_latch;
                WriteRegister(address, low | std::uint32_t{data_bytes_[2]} << 16 |
                                           std::uint32_t{data_bytes_[3]} << 24);
            }
            return;
        default:
            return;  // the signature is read-only; other selections take nothing
    }
}

void SimCard::WriteRegister(std::uint32_t address, std::uint32_t value) {
    std::uint32_t& slot = state_.registers[address];
    if (address == kStraps) {
        if (value & kStrapOverride) {
            Fault("boot straps 0x%06x written with bit 31 set (0x%08x), which overrides the straps",
                  address, value);
        }
        return;  // read-only for everything else
    }
    const bool pll = address == kCorePll || address == kMemoryPll;
    const char* name = address == kCorePll     ? "core PLL"
                       : address == kMemoryPll ? "memory PLL"
                       : address == kPllSelect ? "PLL select"
                                               : nullptr;
    if (name != nullptr && !interrupts_disabled_) {
        Fault("%s 0x%06x written outside the interrupt bracket (0x%08x)", name, address, value);
    }
    const unsigned m = value & 0xFF;
    const unsigned n = (value >> 8) & 0xFF;
    if (pll && (m == 0 || n == 0)) {
        Fault("%s 0x%06x written with M = %u, N = %u (0x%08x); both must be non-zero", name,
              address, m, n, value);
    }
    slot = value;
}

void SimCard::Fault(const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    state_.faults.emplace_back(line);
}

}  // namespace ruvuvuri::hw
