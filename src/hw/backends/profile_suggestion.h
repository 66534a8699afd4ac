// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <span>
#include <string>

namespace ruvuvuri::hw {

// What to say about a profile field nobody knows: "unknown field, probably a
// typo (did you mean \"registers\"?); the fields are description, bios, …".
// `prefix` is the enclosing field with its dot ("inject.") or empty.
std::string UnknownFieldProblem(const std::string& key, const std::string& prefix,
                                std::span<const char* const> known_fields);

}  // namespace ruvuvuri::hw
