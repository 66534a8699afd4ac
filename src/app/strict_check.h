// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <vector>

#include "app/options.h"

namespace ruvuvuri::app {

// Under --strict, every argument the run would otherwise ignore, one line each
// ("ARGUMENT: why"): a clock that is not a whole number or out of its range, a
// timing that is not a whole 32-bit hexadecimal value or is AAAAAAAA, an option
// given twice (the earlier one would be dropped), anything that is not an
// option, a bad "--" option, clock options a read-only run would not apply,
// and a run with nothing to apply (--strict never shows the panel). Reads only
// the arguments: nothing is touched.
std::vector<std::string> StrictErrors(int argc, const char* const argv[],
                                      const ParsedRunOptions& parsed);

}  // namespace ruvuvuri::app
