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

// An independent reference: the nearest N for each M found from the floor
// quotient and its successor (halves going up), candidates whose N does not
// fit 8 bits left out, the strictly smallest truncated error winning.
struct Reference {
    int m = 0;
    int n = 0;
    int p = 0;
};

Reference BruteForce(Pll pll, std::int64_t target, std::int64_t crystal) {
    int p = 0;
    std::int64_t c = target;
    while ((target << p) < 128000) {
        ++p;
    }
    c = target << p;
    int first = 7;
    int last = 14;
    if (pll == Pll::kMemory && c >= 300000) {
        first = 1;
        last = 4;
    }
    Reference best;
    best.p = p;
    std::int64_t best_error = target;
    for (int m = first; m <= last; ++m) {
        const std::int64_t wanted = c * m;
        const std::int64_t below = wanted / crystal;
        const std::int64_t above = below + 1;
        const std::int64_t n =
            (wanted - below * crystal) < (above * crystal - wanted) ? below : above;
        if (n < 1 || n > 255) {
            continue;
        }
        const std::int64_t error = std::llabs(wanted - n * crystal) / m;
        if (error < best_error) {
            best_error = error;
            best.m = m;
            best.n = static_cast<int>(n);
        }
    }
    return best;
}

TEST(PllSearch, SweepMatchesReferenceAndFitsTheWord) {
    struct Range {
        Pll pll;
        std::int32_t from;
        std::int32_t to;
    };
    const std::vector<Range> ranges = {{Pll::kCore, 80000, 400000}, {Pll::kMemory, 80000, 800000}};
    for (const Range& range : ranges) {
        for (const int crystal : {kCrystal14318, kCrystal13500}) {
            int failures = 0;
            for (std::int32_t target = range.from; target <= range.to && failures < 5; ++target) {
                const PllSearchResult r = Calc(range.pll, target, crystal);
                const Reference ref = BruteForce(range.pll, target, crystal);
                const bool ok = r.found && r.coeff.M >= 1 && r.coeff.N >= 1 && r.coeff.N <= 255 &&
                                r.coeff.P <= 15 && r.coeff.M == ref.m && r.coeff.N == ref.n &&
                                r.coeff.P == ref.p;
                if (!ok) {
                    ++failures;
                    ADD_FAILURE() << "crystal " << crystal << " target " << target << ": got M "
                                  << r.coeff.M << " N " << r.coeff.N << " P " << r.coeff.P
                                  << " found " << r.found << ", reference M " << ref.m << " N "
                                  << ref.n << " P " << ref.p;
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
