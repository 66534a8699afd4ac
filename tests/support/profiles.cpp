// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/profiles.h"

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

#include "support/run_program.h"

namespace ruvuvuri::test {
namespace {

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*x", digits, value);
    return text;
}

}  // namespace

std::filesystem::path WriteProfile(const std::filesystem::path& folder, const ProfileCard& card) {
    nlohmann::json profile;
    profile["description"] = "test card";
    profile["misc_output"] = Hex(card.misc_output, 2);
    if (card.with_bios) {
        const auto image = card::BuildBiosImage(card.bios);
        std::ofstream rom(folder / "card.rom", std::ios::binary);
        rom.write(reinterpret_cast<const char*>(image.data()),
                  static_cast<std::streamsize>(image.size()));
        profile["bios"] = "card.rom";
    }
    nlohmann::json registers = nlohmann::json::object();
    for (const auto& [address, value] : card.registers) {
        registers[Hex(address, 6)] = Hex(value, 8);
    }
    profile["registers"] = registers;
    const auto path = folder / "card.json";
    WriteFile(path, profile.dump(2));
    return path;
}

std::uint32_t SavedRegister(const std::filesystem::path& profile, std::uint32_t address) {
    const auto saved = nlohmann::json::parse(ReadFile(profile));
    const auto& registers = saved.at("registers");
    for (const auto& [key, value] : registers.items()) {
        if (std::stoul(key, nullptr, 0) == address) {
            return static_cast<std::uint32_t>(value.is_string()
                                                  ? std::stoul(value.get<std::string>(), nullptr, 0)
                                                  : value.get<std::uint32_t>());
        }
    }
    return 0;
}

}  // namespace ruvuvuri::test
