// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

namespace ruvuvuri::base {

// On one line, with its number ("Access is denied (error 5)").
std::string WinErrorText(unsigned long error);

}  // namespace ruvuvuri::base
