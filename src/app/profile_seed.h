// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace ruvuvuri::app {

// The files written for a simulator profile that did not exist yet.
struct SeededProfile {
    std::filesystem::path profile;
    std::filesystem::path bios;  // beside the profile, named after it
};

// When `path` names nothing at all (not even a dangling symbolic link), writes
// the built-in GeForce2 GTS there as a new profile, with its BIOS image beside
// it (card.json gets card.rom), and returns what it wrote; otherwise returns
// nothing and leaves everything as it is. Each file appears whole under its
// name or not at all, and no existing file or link is ever replaced or
// followed. Throws ProfileError, having created nothing, when the files cannot
// be written.
std::optional<SeededProfile> SeedProfileIfMissing(const std::filesystem::path& path);

// One line for the user about what was created.
std::string SeededProfileNotice(const SeededProfile& seeded);

}  // namespace ruvuvuri::app
