// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cmath>
#include <cstdint>

namespace ruvuvuri::app {

// MHz (the front ends) to kHz (the clock engine): × 1000.0 truncated toward
// zero. Values that do not fit an unsigned 32-bit integer (negative, NaN, too
// large) would be undefined behaviour in a plain cast; they map to 0, which the
// clock engine treats as "no target" and leaves that PLL as it is.
inline std::uint32_t MhzToKhz(double mhz) {
    const double khz = mhz * 1000.0;
    if (!(khz >= 0.0) || khz >= 4294967296.0) {
        return 0;
    }
    return static_cast<std::uint32_t>(khz);
}

}  // namespace ruvuvuri::app
