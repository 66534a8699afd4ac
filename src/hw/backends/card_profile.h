// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "hw/backends/card_state.h"
#include "hw/platform_error.h"

namespace ruvuvuri::hw {

// A simulator profile that cannot be used. The message names the file, the
// field where there is one, and the problem.
class ProfileError : public PlatformError {
  public:
    using PlatformError::PlatformError;
};

// Parses profile text (JSON). `folder` resolves the relative BIOS path; `name`
// is what messages call the file. Throws ProfileError.
CardState ParseProfile(const std::string& text, const std::filesystem::path& folder,
                       const std::string& name);
// The profile text of a card state: every field, numbers as hex strings.
std::string FormatProfile(const CardState& state);
// A number as the profile writes it and its messages show it: "0x" and at
// least `digits` lowercase hex digits.
std::string ProfileHex(std::uint64_t value, int digits);

// One run's hold on a profile file: opening takes an exclusive lock that is kept
// until the session ends, so concurrent runs on one profile queue up and never
// lose an update. Save() writes a temporary file beside it and renames it over
// the profile, so the file is always either the old or the new state.
class ProfileSession {
  public:
    // Locks and loads. Throws ProfileError (file unreadable, not valid JSON, a
    // field of the wrong type, BIOS file unreadable, lock not obtainable).
    explicit ProfileSession(const std::filesystem::path& path);
    ~ProfileSession();
    ProfileSession(const ProfileSession&) = delete;
    ProfileSession& operator=(const ProfileSession&) = delete;

    const CardState& loaded() const { return loaded_; }
    // Throws ProfileError when the folder is not writable; the profile is then
    // left as it was.
    void Save(const CardState& state) const;

  private:
    std::filesystem::path path_;
    mutable int lock_fd_ = -1;  // Save() moves the lock to the file it renamed into place
    CardState loaded_;
};

}  // namespace ruvuvuri::hw
