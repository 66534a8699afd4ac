// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/trace_decoder.h"

#include <sstream>

#include "hw/window_decoder.h"

namespace ruvuvuri::test {

std::vector<RegisterWrite> DecodeRegisterWrites(const std::vector<std::string>& lines) {
    std::stringstream text;
    for (const std::string& line : lines) {
        text << line << '\n';
    }
    std::vector<RegisterWrite> writes;
    for (const hw::WindowEvent& event : hw::DecodeWindowTrace(text).events) {
        if (event.kind == hw::WindowEvent::Kind::RegisterWrite) {
            writes.push_back({event.address, event.value});
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
