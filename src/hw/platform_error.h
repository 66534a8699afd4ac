// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <stdexcept>
#include <string>

namespace ruvuvuri::hw {

// The platform could not be started. The message is one line a user can act
// on: it names the cause and the remedy.
class PlatformError : public std::runtime_error {
  public:
    explicit PlatformError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace ruvuvuri::hw
