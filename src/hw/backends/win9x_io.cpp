// SPDX-License-Identifier: GPL-2.0-or-later
#include <cstring>

#include "hw/backends/win_direct_io.h"
#include "hw/backends/win_ports.h"

namespace ruvuvuri::hw {
namespace {

// The first megabyte, which the 95 family maps one to one.
constexpr std::uint32_t kLowMemoryEnd = 0x100000;

class Win9xIo final : public WinDirectIo {
  public:
    Win9xIo() { bracket_.Prepare(this, sizeof *this); }

    void ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) override {
        if (address >= kLowMemoryEnd || dest.size() > kLowMemoryEnd - address) {
            return;
        }
        const auto* source = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address));
        if (IsBadReadPtr(source, dest.size())) {
            return;
        }
        std::memcpy(dest.data(), source, dest.size());
    }
};

}  // namespace

std::unique_ptr<PortIo> OpenWin9xIo() {
    return std::make_unique<Win9xIo>();
}

}  // namespace ruvuvuri::hw
