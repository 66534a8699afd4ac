// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <system_error>

namespace ruvuvuri::base {

// Thread-safe, unlike strerror.
inline std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

}  // namespace ruvuvuri::base
