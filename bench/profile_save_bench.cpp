// SPDX-License-Identifier: GPL-2.0-or-later
// Milliseconds to save and to load a simulator profile of 1,000 to 100,000
// card registers: the save runs under the profile's lock, so every run queued
// on that profile waits for it. The target is well under a second at 100,000.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "hw/backends/card_profile.h"

namespace {

namespace fs = std::filesystem;
using ruvuvuri::hw::CardState;
using ruvuvuri::hw::ProfileSession;

class Folder {
  public:
    Folder() {
        std::string name = (fs::temp_directory_path() / "ruvuvuri-bench-XXXXXX").string();
        if (mkdtemp(name.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = name;
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    fs::path profile() const { return path_ / "card.json"; }

  private:
    fs::path path_;
};

CardState CardWithRegisters(std::int64_t count) {
    CardState state;
    for (std::int64_t i = 0; i < count; ++i) {
        state.registers[0x100000 + 4 * static_cast<std::uint32_t>(i)] =
            static_cast<std::uint32_t>(i);
    }
    return state;
}

void BM_SaveProfile(benchmark::State& bench) {
    Folder folder;
    std::ofstream(folder.profile()) << "{}";
    const CardState state = CardWithRegisters(bench.range(0));
    ProfileSession session(folder.profile());
    for (auto _ : bench) {
        session.Save(state);
    }
}

void BM_LoadProfile(benchmark::State& bench) {
    Folder folder;
    std::ofstream(folder.profile()) << "{}";
    ProfileSession(folder.profile()).Save(CardWithRegisters(bench.range(0)));
    for (auto _ : bench) {
        ProfileSession session(folder.profile());
        benchmark::DoNotOptimize(session.loaded().registers.size());
    }
}

BENCHMARK(BM_SaveProfile)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadProfile)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
