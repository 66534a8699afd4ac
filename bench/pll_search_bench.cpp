// SPDX-License-Identifier: GPL-2.0-or-later
// Nanoseconds per PLL coefficient search. Each iteration sweeps every whole-kHz
// target of a range (core 80000..400000, memory 80000..800000) with one
// crystal, so the figure is the mean over the whole range, not the cost of one
// lucky target. items_per_second counts searches; the script turns it into ns
// per call.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "clock/clock_engine.h"

namespace {

using ruvuvuri::clock::PllSearchResult;
using Search = PllSearchResult (*)(std::int32_t, int);

constexpr std::int32_t kLowestKhz = 80000;
constexpr std::int32_t kHighestCoreKhz = 400000;
constexpr std::int32_t kHighestMemKhz = 800000;

// The search is a template argument, so the loop calls it directly, as the
// clock engine does, rather than through a pointer.
template <Search search, std::int32_t highest_khz>
void Sweep(benchmark::State& state) {
    const int crystal = static_cast<int>(state.range(0));
    for (auto _ : state) {
        for (std::int32_t target = kLowestKhz; target <= highest_khz; ++target) {
            PllSearchResult result = search(target, crystal);
            benchmark::DoNotOptimize(result);
        }
    }
    state.SetItemsProcessed(state.iterations() * (highest_khz - kLowestKhz + 1));
}

void BM_CalcCorePLL(benchmark::State& state) {
    Sweep<ruvuvuri::clock::CalcCorePLL, kHighestCoreKhz>(state);
}

void BM_CalcMemPLL(benchmark::State& state) {
    Sweep<ruvuvuri::clock::CalcMemPLL, kHighestMemKhz>(state);
}

}  // namespace

BENCHMARK(BM_CalcCorePLL)
    ->Arg(ruvuvuri::clock::kCrystal14318)
    ->Arg(ruvuvuri::clock::kCrystal13500)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcMemPLL)
    ->Arg(ruvuvuri::clock::kCrystal14318)
    ->Arg(ruvuvuri::clock::kCrystal13500)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
