// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/error_text.h"

#include <system_error>

namespace ruvuvuri::base {

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

}  // namespace ruvuvuri::base
