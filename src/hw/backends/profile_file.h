// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "hw/backends/card_state.h"

// The platform's side of ProfileSession (profile_file.cpp, profile_file_win.cpp).
// A held file is a descriptor, or a Windows handle as a number; -1 is none.
namespace ruvuvuri::hw {

// Far above any card's state (100,000 registers take 3 MB); a larger file is
// not a profile, and reading it would only exhaust memory.
inline constexpr std::uint64_t kMaxProfileBytes = 64u << 20;

std::filesystem::path FolderOf(const std::filesystem::path& path);
std::string UnwritableMessage(const std::filesystem::path& path, const std::string& what,
                              const std::string& error);
// The profile read from `bytes`, or ProfileError when the read failed.
CardState ParseProfileFile(const std::optional<std::string>& read_error,
                           const std::vector<std::uint8_t>& bytes,
                           const std::filesystem::path& path);

extern const char* const kLocalVolume;  // where a lock works, for the remedy
std::filesystem::path FileToSave(const std::filesystem::path& given);
std::uint32_t LockClockMs();  // never goes back; wraps at 2^32

// Nothing held and no error: another run holds the profile.
struct LockAttempt {
    int held = -1;
    std::optional<std::string> open_error, lock_error;  // the system's text
};
LockAttempt TryLockProfile(const std::filesystem::path& path);
void CloseHeld(int held);
// Reads the held profile, and finds out now, before the run reprograms the
// card, whether its state can be saved at the end. Throws ProfileError.
CardState LoadHeldProfile(int held, const std::filesystem::path& path);

}  // namespace ruvuvuri::hw
