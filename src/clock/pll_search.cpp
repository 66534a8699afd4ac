#include <cstdint>
#include <limits>

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
constexpr std::int32_t kMaxN = 255;
constexpr int kMaxP = 15;

struct MRange {
    std::int32_t first;
    std::int32_t last;
};

constexpr MRange kWideRange{7, 14};
constexpr MRange kSmallRange{1, 4};

// Tries each M of the range in ascending order and keeps the candidate with the
// strictly smallest error, so ties keep the smaller M. Candidates whose N does
// not fit the word are skipped.
PllSearchResult Search(std::int32_t target_khz, int base_freq, bool memory_pll) {
    PllSearchResult result;
    if (target_khz <= 0 || base_freq <= 0) {
        return result;
    }

    std::int32_t best_error = target_khz;
    std::int32_t best_m = 0;
    std::int32_t best_n = 0;

    std::int32_t c = target_khz;
    int p = 0;
    while (c < kMinOscillatorKhz) {
        c *= 2;
        ++p;
    }
    if (p > kMaxP) {
        return result;
    }

    const MRange range = (memory_pll && c >= kMemSmallDividerFromKhz) ? kSmallRange : kWideRange;
    const std::int32_t half_base = base_freq >> 1;

    for (std::int32_t m = range.first; m <= range.last; ++m) {
        // A product this large would give N far above what the word holds; the
        // guard also keeps every sum below from overflowing.
        if (c > (std::numeric_limits<std::int32_t>::max() - half_base) / m) {
            continue;
        }
        const std::int32_t product = c * m;
        const std::int32_t n = (product + half_base) / base_freq;
        if (n < 1 || n > kMaxN) {
            continue;
        }
        std::int32_t diff = product - n * base_freq;
        if (diff < 0) {
            diff = -diff;
        }
        const std::int32_t error = diff / m;
        if (error < best_error) {
            best_error = error;
            best_m = m;
            best_n = n;
        }
    }

    if (best_m == 0) {
        return result;
    }
    result.coeff = PllCoeff{best_m, best_n, p};
    result.found = true;
    return result;
}

}  // namespace

PllSearchResult CalcMemPLL(std::int32_t target_khz, int base_freq) {
    return Search(target_khz, base_freq, true);
}

PllSearchResult CalcCorePLL(std::int32_t target_khz, int base_freq) {
    return Search(target_khz, base_freq, false);
}

}  // namespace ruvuvuri::clock
