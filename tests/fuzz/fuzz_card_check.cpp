// SPDX-License-Identifier: GPL-2.0-or-later
// Arbitrary bytes as the video BIOS image: the GeForce check and every field
// the panel shows.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem = ruvuvuri::fuzz::CheckCardImage({data, size});
    if (!problem.empty()) {
        std::fprintf(stderr, "fuzz_card_check: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
