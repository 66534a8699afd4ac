// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Creating files that must not exist yet, one implementation per platform
// (new_file.cpp, new_file_win.cpp).
namespace ruvuvuri::app {

// True only when `path` names nothing at all, not even a dangling link; false
// also when its folder cannot be read.
bool NothingAt(const std::filesystem::path& path);

// Writes `bytes` to a new file at `path`, which appears whole under its name or
// not at all and never replaces anything there. Throws hw::ProfileError whose
// message begins with `cannot_create` and ends with the remedy.
void WriteNewFile(const std::filesystem::path& path, std::string_view bytes,
                  const std::string& cannot_create);

// Removes a file this run created; a failure leaves it there.
void RemoveFile(const std::filesystem::path& path);

}  // namespace ruvuvuri::app
