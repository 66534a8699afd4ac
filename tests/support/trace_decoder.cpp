// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/trace_decoder.h"

#include <cstdio>

namespace ruvuvuri::test {

std::vector<RegisterWrite> DecodeRegisterWrites(const std::vector<std::string>& lines) {
    std::vector<RegisterWrite> writes;
    unsigned mode = 0;
    std::uint32_t address = 0;
    std::uint32_t latch = 0;
    for (const std::string& line : lines) {
        unsigned port = 0, value = 0;
        if (std::sscanf(line.c_str(), "outw 0x%x 0x%x", &port, &value) != 2) {
            continue;
        }
        if (port == 0x3d4 || port == 0x3b4) {
            if ((value & 0xff) == 0x38) {
                mode = value >> 8;
            }
        } else if (port == 0x3d0) {
            if (mode == 0x03) {
                address = (address & 0xffff0000u) | value;
            } else if (mode == 0x07) {
                latch = value;
            }
        } else if (port == 0x3d2) {
            if (mode == 0x03) {
                address = (address & 0xffffu) | (value << 16);
            } else if (mode == 0x07) {
                writes.push_back({address, (value << 16) | latch});
            }
        }
    }
    return writes;
}

std::vector<std::uint32_t> WrittenAddresses(const std::vector<std::string>& lines) {
    std::vector<std::uint32_t> addresses;
    for (const RegisterWrite& write : DecodeRegisterWrites(lines)) {
        addresses.push_back(write.address);
    }
    return addresses;
}

}  // namespace ruvuvuri::test
