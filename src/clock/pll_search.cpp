// SPDX-License-Identifier: GPL-2.0-or-later
#include <cstdint>

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

struct Best {
    std::int32_t error;
    std::int32_t m = 0;
    std::int32_t n = 0;
};

// One candidate: N rounded to nearest (halves up), its error in kHz of the
// oscillator, kept only when strictly better, so ties keep the smaller M.
// Candidates whose N does not fit the word are skipped. With the crystal and
// M known at compile time the divisions become multiplications, which is
// what keeps a search at a few nanoseconds.
template <std::int32_t kM, typename Base>
inline void Try(std::int32_t c, Base base, Best& best) {
    // 32 bits for the two crystals (c is at most 257 × 14318 here); 64 bits
    // for any other reference, so that no product can overflow.
    using Value = decltype(+base);
    const Value product = Value{c} * kM;
    const Value n = (product + base / 2) / base;
    if (n < 1 || n > kMaxN) {
        return;
    }
    Value diff = product - n * base;
    if (diff < 0) {
        diff = -diff;
    }
    const auto error = static_cast<std::int32_t>(diff / kM);
    if (error < best.error) {
        best = {error, kM, static_cast<std::int32_t>(n)};
    }
}

// The candidates M in the order given; the first of equal error is kept.
template <std::int32_t... kMs, typename Base>
inline void TryEach(std::int32_t c, Base base, Best& best) {
    (Try<kMs>(c, base, best), ...);
}

// The two crystals a card can have, as compile-time constants.
template <std::int32_t kValue>
struct Crystal {
    constexpr operator std::int32_t() const { return kValue; }
    constexpr std::int32_t operator+() const { return kValue; }
};

template <typename Base>
inline void TryRange(std::int32_t c, Base base, bool small_dividers, Best& best) {
    if (small_dividers) {
        TryEach<1, 2, 3, 4>(c, base, best);
    } else {
        TryEach<7, 8, 9, 10, 11, 12, 13, 14>(c, base, best);
    }
}

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
    // From 257 × the crystal on, even M = 1 would need N above 255.
    if (p > kMaxP || std::int64_t{c} >= std::int64_t{kMaxN + 2} * base_freq) {
        return {};
    }

    const bool small_dividers = memory_pll && c >= kMemSmallDividerFromKhz;
    Best best{target_khz};
    switch (base_freq) {
        case kCrystal14318:
            TryRange(c, Crystal<kCrystal14318>{}, small_dividers, best);
            break;
        case kCrystal13500:
            TryRange(c, Crystal<kCrystal13500>{}, small_dividers, best);
            break;
        default:
            TryRange(c, std::int64_t{base_freq}, small_dividers, best);
            break;
    }

    if (best.m == 0) {
        return {};
    }
    return {PllCoeff{best.m, best.n, p}, true};
}

}  // namespace

PllSearchResult CalcMemPLL(std::int32_t target_khz, int base_freq) {
    return Search(target_khz, base_freq, true);
}

PllSearchResult CalcCorePLL(std::int32_t target_khz, int base_freq) {
    return Search(target_khz, base_freq, false);
}

}  // namespace ruvuvuri::clock
