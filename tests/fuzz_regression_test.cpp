// SPDX-License-Identifier: GPL-2.0-or-later
// Replays the fuzz corpus and the reproducers of past fuzz findings through the
// fuzzed entry points, so that the normal build keeps them fixed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "card/bios_image.h"
#include "fuzz/entry_points.h"
#include "hw/backends/profile.h"

namespace ruvuvuri::fuzz {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(RUVUVURI_SOURCE_DIR) / "tests" / "fuzz" / "corpus";
const fs::path kProfileFolder = kCorpus / "profile_bios";

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::vector<fs::path> Seeds(const std::string& target) {
    std::vector<fs::path> seeds;
    for (const auto& entry : fs::directory_iterator(kCorpus / target)) {
        seeds.push_back(entry.path());
    }
    std::sort(seeds.begin(), seeds.end());
    return seeds;
}

// Every seed of every target, through its own entry point.
TEST(FuzzCorpus, EverySeedKeepsTheInvariants) {
    struct Target {
        std::string name;
        std::string (*check)(std::span<const std::uint8_t>);
    };
    const Target targets[] = {
        {"fuzz_card_check", [](std::span<const std::uint8_t> b) { return CheckCardImage(b); }},
        {"fuzz_options", [](std::span<const std::uint8_t> b) { return CheckOptions(b); }},
        {"fuzz_profile",
         [](std::span<const std::uint8_t> b) { return CheckProfile(b, kProfileFolder); }},
    };
    for (const Target& target : targets) {
        const std::vector<fs::path> seeds = Seeds(target.name);
        EXPECT_GE(seeds.size(), 3u) << target.name << " has lost its seeds";
        for (const fs::path& seed : seeds) {
            const std::vector<std::uint8_t> bytes = ReadBytes(seed);
            std::string problem;
            EXPECT_NO_THROW(problem = target.check(bytes)) << seed;
            EXPECT_EQ(problem, "") << seed;
        }
    }
}

// The image seeds mean what their names say, so the fuzzer starts from both
// sides of the check.
TEST(FuzzCorpus, ImageSeedsReachBothVerdicts) {
    const struct {
        const char* file;
        int verdict;
    } cases[] = {
        {"geforce2_gts.rom", 0}, {"geforce4_ti.rom", 0}, {"foreign_vendor.rom", 1},
        {"riva_tnt.rom", 1},     {"all_zero.rom", 1},    {"truncated.rom", 1},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> bytes = ReadBytes(kCorpus / "fuzz_card_check" / c.file);
        card::BiosImage bios;
        std::copy_n(bytes.begin(), std::min(bytes.size(), card::kBiosImageSize),
                    bios.image().begin());
        EXPECT_EQ(bios.CheckBIOSinfo(), c.verdict) << c.file;
    }
}

// A profile seed that names the image in the profile folder loads it whole.
TEST(FuzzCorpus, ProfileSeedLoadsItsBiosImage) {
    const std::vector<std::uint8_t> text = ReadBytes(kCorpus / "fuzz_profile" / "with_bios.json");
    const hw::CardState state =
        hw::ParseProfile(std::string(text.begin(), text.end()), kProfileFolder, "with_bios.json");
    EXPECT_EQ(state.bios, ReadBytes(kProfileFolder / "geforce2-gts-head.rom"));
}

// Inputs the fuzzers found; each must now end in the sound outcome.
TEST(FuzzFindings, ProfileNumbersBeyondDoubleAreRefusedAsProfileErrors) {
    // nlohmann::json reports a number too large for a double as out_of_range
    // (406), not as a parse_error; it has to reach the user as a refused
    // profile all the same.
    const std::string inputs[] = {
        "1e400",
        R"({"misc_output": 1e400})",
        R"({"registers": {"0x100220": -1e400}})",
        R"({"faults": [1e999]})",
    };
    for (const std::string& input : inputs) {
        EXPECT_THROW(hw::ParseProfile(input, kProfileFolder, "fuzz.json"), hw::ProfileError)
            << input;
        std::string problem;
        EXPECT_NO_THROW(problem = CheckProfile(Bytes(input), kProfileFolder)) << input;
        EXPECT_EQ(problem, "") << input;
    }
}

}  // namespace
}  // namespace ruvuvuri::fuzz
