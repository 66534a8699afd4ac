// SPDX-License-Identifier: GPL-2.0-or-later
// Arbitrary simulator profile text. The folder that BIOS paths resolve
// against holds one small image, so both a readable and a missing BIOS file
// are reachable.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem =
        ruvuvuri::fuzz::CheckProfile({data, size}, RUVUVURI_FUZZ_PROFILE_FOLDER);
    if (!problem.empty()) {
        std::fprintf(stderr, "fuzz_profile: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
