// SPDX-License-Identifier: GPL-2.0-or-later
#include <cstdint>
#include <cstdlib>

#include "clock/clock_engine.h"

namespace ruvuvuri::clock {
namespace {

// Below this the target is doubled (and the post-divider raised) so that the
// PLL's oscillator runs in the range where it locks reliably.
constexpr std::int32_t kMinOscillatorKhz = 128000;
// From here on the memory PLL tries the small reference dividers, which keep N
// low for fast memory.
constexpr std::int32_t kMemSmallDividerFromKhz = 300000;
// The coefficient word holds 8 bits of N and 4 bits of P.
constexpr std::int64_t kMaxN = 255;
constexpr int kMaxP = 15;

// At most eight candidates M, each with N rounded to nearest (halves up); a
// candidate is kept only when its error is strictly smaller, so ties keep the
// smaller M. Candidates whose N does not fit the word are skipped. 64-bit
// products, so that no reference crystal can overflow them.
PllSearchResult Search(std::int32_t target_khz, int base_freq, bool memory_pll) {
    if (target_khz <= 0 || base_freq <= 0) {
        return {};
    }
    std::int32_t c = target_khz;
    int p = 0;
    while (c < kMinOscillatorKhz) {
        c *= 2;
        ++p;
    }
    if (p > kMaxP) {
        return {};
    }
    const bool small_dividers = memory_pll && c >= kMemSmallDividerFromKhz;
    const std::int64_t base = base_freq;
    std::int64_t best_error = target_khz;
    PllSearchResult best;
    for (int m = small_dividers ? 1 : 7; m <= (small_dividers ? 4 : 14); ++m) {
        const std::int64_t product = std::int64_t{c} * m;
        const std::int64_t n = (product + base / 2) / base;
        const std::int64_t error = std::llabs(product - n * base) / m;
        if (n >= 1 && n <= kMaxN && error < best_error) {
            best_error = error;
            best = {PllCoeff{m, static_cast<int>(n), p}, true};
        }
    }
    return best;
}

}  // namespace

PllSearchResult CalcMemPLL(std::int32_t target_khz, int base_freq) {
    return Search(target_khz, base_freq, true);
}

PllSearchResult CalcCorePLL(std::int32_t target_khz, int base_freq) {
    return Search(target_khz, base_freq, false);
}

}  // namespace ruvuvuri::clock
