// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "clock/clock_engine.h"

namespace ruvuvuri::clock {
namespace {

enum class Pll { kCore, kMemory };

PllSearchResult Calc(Pll pll, std::int32_t target, int crystal) {
    return pll == Pll::kCore ? CalcCorePLL(target, crystal) : CalcMemPLL(target, crystal);
}

struct Worked {
    int crystal;
    Pll pll;
    std::int32_t target;
    int m, n, p;
    std::uint32_t output;
};

TEST(PllSearch, ReproducesWorkedResults) {
    const std::vector<Worked> table = {
        {kCrystal14318, Pll::kCore, 80000, 11, 123, 1, 80050},
        {kCrystal14318, Pll::kCore, 175000, 9, 110, 0, 174997},
        {kCrystal14318, Pll::kCore, 200000, 7, 98, 0, 200452},
        {kCrystal14318, Pll::kMemory, 166000, 10, 116, 0, 166088},
        {kCrystal14318, Pll::kMemory, 183000, 9, 115, 0, 182952},
        {kCrystal14318, Pll::kMemory, 300000, 1, 21, 0, 300678},
        {kCrystal14318, Pll::kMemory, 460000, 4, 129, 0, 461755},
        {kCrystal14318, Pll::kMemory, 800000, 4, 223, 0, 798228},
        {kCrystal13500, Pll::kCore, 200000, 11, 163, 0, 200045},
        {kCrystal13500, Pll::kMemory, 183000, 9, 122, 0, 183000},
    };
    for (const Worked& w : table) {
        SCOPED_TRACE(testing::Message()
                     << w.crystal << (w.pll == Pll::kCore ? " core " : " mem ") << w.target);
        const PllSearchResult r = Calc(w.pll, w.target, w.crystal);
        ASSERT_TRUE(r.found);
        EXPECT_EQ(r.coeff.M, w.m);
        EXPECT_EQ(r.coeff.N, w.n);
        EXPECT_EQ(r.coeff.P, w.p);
        EXPECT_EQ(PllOutputKhz(r.coeff.word(), w.crystal), w.output);
    }
}

TEST(PllSearch, EqualErrorsKeepSmallestM) {
    // 200000 kHz from 14318 kHz: N / M is 14 for every M from 7 to 14, all with
    // the error 452.
    const PllSearchResult r = CalcCorePLL(200000, kCrystal14318);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.coeff.M, 7);
    EXPECT_EQ(r.coeff.N, 98);
}

TEST(PllSearch, ScalesOnlyBelow128000) {
    for (const Pll pll : {Pll::kCore, Pll::kMemory}) {
        EXPECT_EQ(Calc(pll, 128000, kCrystal14318).coeff.P, 0);
        EXPECT_EQ(Calc(pll, 127999, kCrystal14318).coeff.P, 1);
        EXPECT_EQ(Calc(pll, 64000, kCrystal14318).coeff.P, 1);
        EXPECT_EQ(Calc(pll, 63999, kCrystal14318).coeff.P, 2);
    }
}

TEST(PllSearch, MemorySwitchesToSmallDividersAt300000) {
    const PllSearchResult below = CalcMemPLL(299999, kCrystal14318);
    ASSERT_TRUE(below.found);
    EXPECT_GE(below.coeff.M, 7);
    EXPECT_LE(below.coeff.M, 14);

    const PllSearchResult at = CalcMemPLL(300000, kCrystal14318);
    ASSERT_TRUE(at.found);
    EXPECT_EQ(at.coeff.M, 1);
    EXPECT_EQ(at.coeff.N, 21);

    // The core PLL keeps M 7..14 at any target.
    const PllSearchResult core = CalcCorePLL(300000, kCrystal14318);
    ASSERT_TRUE(core.found);
    EXPECT_GE(core.coeff.M, 7);
}

TEST(PllSearch, NoResultWithoutSensibleCandidate) {
    struct Case {
        Pll pll;
        std::int32_t target;
    };
    const std::vector<Case> cases = {
        {Pll::kCore, 0},
        {Pll::kMemory, 0},
        {Pll::kCore, -1},
        {Pll::kMemory, std::numeric_limits<std::int32_t>::min()},
        {Pll::kCore, 1},  // would need P above 15
        {Pll::kMemory, 3},
        {Pll::kCore, 600000},  // every M from 7 needs N above 255
        {Pll::kMemory, 5000000},
        {Pll::kCore, std::numeric_limits<std::int32_t>::max()},
        {Pll::kMemory, std::numeric_limits<std::int32_t>::max()},
    };
    for (const Case& c : cases) {
        for (const int crystal : {kCrystal14318, kCrystal13500}) {
            SCOPED_TRACE(testing::Message() << c.target << " " << crystal);
            EXPECT_FALSE(Calc(c.pll, c.target, crystal).found);
        }
    }
}

TEST(PllSearch, SkipsCandidatesWithNAbove255) {
    // Unbounded, these would give M 14 with N 391, 293 and 265.
    struct Case {
        Pll pll;
        std::int32_t target;
        int crystal;
    };
    const std::vector<Case> cases = {
        {Pll::kCore, 400000, kCrystal14318},
        {Pll::kMemory, 299999, kCrystal14318},
        {Pll::kMemory, 127999, kCrystal13500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        const PllSearchResult r = Calc(c.pll, c.target, c.crystal);
        ASSERT_TRUE(r.found);
        EXPECT_LE(r.coeff.N, 255);
        EXPECT_LT(r.coeff.M, 14);
    }
}

// The error of one candidate, as the search judges it: the distance of N ×
// crystal from the scaled target × M, in kHz of the oscillator, truncated.
std::int64_t Error(std::int64_t scaled, int m, int n, std::int64_t crystal) {
    return std::llabs(scaled * m - n * crystal) / m;
}

// Checks the search's choice against every coefficient set it may choose: the
// post-divider that scales the target into the oscillator range with the
// fewest doublings, every M of that PLL's range and every N that fits the word.
// None may have a smaller error; among equal errors none may have a smaller M;
// and N is the nearest for its M (halves up).
void ExpectBestOfEveryCandidate(Pll pll, std::int32_t target, int crystal) {
    const PllSearchResult r = Calc(pll, target, crystal);
    ASSERT_TRUE(r.found);
    const auto [m, n, p] = r.coeff;
    ASSERT_LE(p, 15);
    const std::int64_t scaled = std::int64_t{target} << p;
    ASSERT_GE(scaled, 128000);
    ASSERT_TRUE(p == 0 || scaled / 2 < 128000) << "P " << p << " doubles more than needed";

    const bool small_dividers = pll == Pll::kMemory && scaled >= 300000;
    const int first = small_dividers ? 1 : 7;
    const int last = small_dividers ? 4 : 14;
    ASSERT_GE(m, first);
    ASSERT_LE(m, last);
    ASSERT_GE(n, 1);
    ASSERT_LE(n, 255);

    const std::int64_t chosen = Error(scaled, m, n, crystal);
    const std::int64_t chosen_distance = std::llabs(scaled * m - std::int64_t{n} * crystal);
    for (int other_m = first; other_m <= last; ++other_m) {
        for (int other_n = 1; other_n <= 255; ++other_n) {
            const std::int64_t error = Error(scaled, other_m, other_n, crystal);
            ASSERT_GE(error, chosen) << "M " << other_m << " N " << other_n << " is closer";
            ASSERT_FALSE(error == chosen && other_m < m)
                << "M " << other_m << " N " << other_n << " ties with a smaller M";
            const std::int64_t distance =
                std::llabs(scaled * other_m - std::int64_t{other_n} * crystal);
            ASSERT_FALSE(
                other_m == m && other_n != n &&
                (distance < chosen_distance || (distance == chosen_distance && other_n > n)))
                << "N " << other_n << " is nearer for M " << m;
        }
    }
}

TEST(PllSearch, ChoosesTheBestOfEveryLegalCandidate) {
    struct Range {
        Pll pll;
        std::int32_t from;
        std::int32_t to;
        std::int32_t step;
    };
    // A sweep of the whole range both front ends allow (and the doubled range
    // below it), and every target around the places where the ranges, the
    // scaling or the 8-bit N change.
    const std::vector<Range> ranges = {
        {Pll::kCore, 1000, 400000, 97},    {Pll::kMemory, 1000, 800000, 97},
        {Pll::kCore, 79900, 80100, 1},     {Pll::kMemory, 79900, 80100, 1},
        {Pll::kCore, 127900, 128100, 1},   {Pll::kMemory, 127900, 128100, 1},
        {Pll::kMemory, 299800, 300200, 1}, {Pll::kCore, 123731, 123931, 1},
        {Pll::kCore, 262568, 262768, 1},   {Pll::kMemory, 262568, 262768, 1},
        {Pll::kCore, 399800, 400000, 1},   {Pll::kMemory, 799800, 800000, 1},
    };
    for (const Range& range : ranges) {
        for (const int crystal : {kCrystal14318, kCrystal13500}) {
            for (std::int32_t target = range.from; target <= range.to; target += range.step) {
                SCOPED_TRACE(testing::Message() << (range.pll == Pll::kCore ? "core " : "mem ")
                                                << target << " crystal " << crystal);
                ExpectBestOfEveryCandidate(range.pll, target, crystal);
                if (HasFatalFailure()) {
                    return;
                }
            }
        }
    }
}

TEST(PllOutput, DecodesWordAndReadsMZeroAsZero) {
    struct Case {
        std::uint32_t word;
        int crystal;
        std::uint32_t khz;
    };
    const std::vector<Case> cases = {
        {0x00006207, kCrystal14318, 200452}, {0x00017B0B, kCrystal14318, 80050},
        {0x00006207, kCrystal13500, 189000}, {0x0000740A, kCrystal14318, 166088},
        {0xFFF06207, kCrystal14318, 200452},  // bits 20-31 are not decoded
        {0x00006200, kCrystal14318, 0},      {0x00000000, kCrystal13500, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.word);
        EXPECT_EQ(PllOutputKhz(c.word, c.crystal), c.khz);
    }
}

}  // namespace
}  // namespace ruvuvuri::clock
