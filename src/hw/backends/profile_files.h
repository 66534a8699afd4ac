#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The file-system side of simulator profiles, one implementation per platform:
// reading a file, and the ProfileSession's lock and atomic save.
namespace ruvuvuri::hw {

// How long opening a profile waits for another run to release it.
inline constexpr auto kProfileLockWait = std::chrono::seconds(10);
inline constexpr auto kProfileLockPoll = std::chrono::milliseconds(50);

// Reads a whole regular file into `bytes`; the error text on failure (a
// directory, device or pipe is refused without waiting on it).
std::optional<std::string> ReadRegularFile(const std::filesystem::path& path,
                                           std::vector<std::uint8_t>& bytes);

// The folder a profile lives in, for the BIOS path and the temporary file.
std::filesystem::path FolderOf(const std::filesystem::path& path);

}  // namespace ruvuvuri::hw
