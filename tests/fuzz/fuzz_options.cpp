// SPDX-License-Identifier: GPL-2.0-or-later
// Arbitrary command lines (arguments separated by NUL or newline bytes): the
// clock and timing options, their range check and the "--" options.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem = ruvuvuri::fuzz::CheckOptions({data, size});
    if (!problem.empty()) {
        std::fprintf(stderr, "fuzz_options: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
