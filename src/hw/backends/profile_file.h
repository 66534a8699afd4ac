// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "hw/backends/card_state.h"

// The platform's side of ProfileSession (profile_file.cpp, profile_file_win.cpp):
// how the profile is locked, read and probed for a save. A held file is the int
// the session keeps: a descriptor, or a Windows handle as a number; -1 is none.
namespace ruvuvuri::hw {

// Far above any card's state (100,000 registers take 3 MB); a larger file is
// not a profile, and reading it would only exhaust memory.
inline constexpr std::uint64_t kMaxProfileBytes = 64u << 20;

// The folder a profile lives in, for the BIOS path and a save's new file.
std::filesystem::path FolderOf(const std::filesystem::path& path);
std::string UnwritableMessage(const std::filesystem::path& path, const std::string& what,
                              const std::string& error);

// Where a profile can be locked, as a remedy names it: "a local disk".
extern const char* const kLocalVolume;
// The file a session locks and saves, for the path the user gave.
std::filesystem::path FileToSave(const std::filesystem::path& given);
// Milliseconds of a clock that never goes back, modulo 2^32.
std::uint32_t LockClockMs();

struct LockAttempt {
    int held = -1;                          // the opened, locked profile, or -1
    std::optional<std::string> open_error;  // the system's text when it cannot be opened
    std::optional<std::string>
        lock_error;  // ... or locked at all, as opposed to locked by another run
};
LockAttempt TryLockProfile(const std::filesystem::path& path);
void CloseHeld(int held);

// Returns nothing, or the problem.
std::optional<std::string> ReadHeldProfile(int held, const std::filesystem::path& path,
                                           std::vector<std::uint8_t>& bytes);
// The complete new state of a save cut short, where one is left beside the profile.
bool ReadUnfinishedSave(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes);
// Throws ProfileError unless a save could write beside the profile; clears
// what a save that did not finish left there, unless `recovered` came from it.
void ProbeSave(const std::filesystem::path& path, const CardState& loaded, bool recovered);

}  // namespace ruvuvuri::hw
