// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ruvuvuri::hw {

// Reads at most `read_limit` bytes from the start of a regular file whose size
// is at most `size_limit`, into `bytes`. Returns nothing on success, or the
// problem as a short text ("not a regular file", "it is 68719476736 bytes long,
// over the limit of 16777216", the system's error text). A FIFO or device never makes
// it wait, and no file, however large or sparse, makes it allocate more than
// `read_limit` bytes.
std::optional<std::string> ReadRegularFile(const std::filesystem::path& path,
                                           std::uint64_t size_limit, std::size_t read_limit,
                                           std::vector<std::uint8_t>& bytes);

}  // namespace ruvuvuri::hw
