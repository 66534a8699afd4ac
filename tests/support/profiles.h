// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "card/bios_builder.h"

namespace ruvuvuri::test {

// A simulator profile for the end-to-end tests: a card in a folder of its own,
// with its BIOS image file beside the profile.
struct ProfileCard {
    std::map<std::uint32_t, std::uint32_t> registers = {
        {0x101000, 0x00000040}, {0x680500, 0x00006207}, {0x680504, 0x0000740a},
        {0x68050c, 0x00000000}, {0x100220, 0x22322222}, {0x100224, 0x00000a0a},
        {0x100228, 0x05050505}};
    bool with_bios = true;
    card::BiosLayout bios;
    std::uint8_t misc_output = 0x67;
};

// Writes `card.json` (and `card.rom`) into `folder`; returns the profile path.
std::filesystem::path WriteProfile(const std::filesystem::path& folder, const ProfileCard& card);

// A card register as the saved profile holds it.
std::uint32_t SavedRegister(const std::filesystem::path& profile, std::uint32_t address);

}  // namespace ruvuvuri::test
