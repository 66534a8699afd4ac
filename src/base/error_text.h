// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

namespace ruvuvuri::base {

// The system's text for an errno value ("Permission denied"), for messages
// that name the cause of a failure. Thread-safe, unlike strerror.
std::string ErrorText(int error);

}  // namespace ruvuvuri::base
