// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

namespace ruvuvuri::base {

// The system's text for a GetLastError() value, on one line, with its number
// ("Access is denied (error 5)").
std::string WinErrorText(unsigned long error);

}  // namespace ruvuvuri::base
