// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hw/backends/sim_card.h"
#include "hw/platform_error.h"

namespace ruvuvuri::hw {

// The message names the file, the field where there is one, and the problem.
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

// One run's hold on a profile, as a persistent emulated device is kept: locked
// without waiting and read once at start, written once at the end through a
// file beside it that then replaces it, so the profile always holds the old or
// the new state, and a run that is killed leaves it as it was.
class ProfileFile {
  public:
    // Throws ProfileError: the file cannot be read, another run holds it, or
    // its folder takes no new file (so that no card is reprogrammed whose
    // state could not be saved).
    explicit ProfileFile(const std::filesystem::path& path);
    ~ProfileFile();
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;

    const std::filesystem::path& path() const { return path_; }
    const std::string& text() const { return text_; }
    // Throws ProfileError, leaving the profile as it was.
    void Save(const std::string& text);

  private:
    std::filesystem::path path_;
    std::intptr_t held_ = -1;  // a descriptor, or a Windows handle
    std::string text_;
};

// At most `read_limit` bytes of a regular file of at most `size_limit`;
// nothing, or the problem as a short text ("not a regular file", "it is N bytes
// long, over the limit of M"). A FIFO or device never makes it wait.
std::optional<std::string> ReadRegularFile(const std::filesystem::path& path,
                                           std::uint64_t size_limit, std::size_t read_limit,
                                           std::vector<std::uint8_t>& bytes);

// True only when `path` names nothing at all, not even a dangling link.
bool NothingAt(const std::filesystem::path& path);
// Writes `bytes` to a new file at `path`, which appears whole or not at all
// and never replaces anything. Throws ProfileError beginning `cannot_create`.
void WriteNewFile(const std::filesystem::path& path, std::string_view bytes,
                  const std::string& cannot_create);
void RemoveFile(const std::filesystem::path& path);

}  // namespace ruvuvuri::hw
