// SPDX-License-Identifier: GPL-2.0-or-later
// What keeps the program off cards it must not write: chips it does not know,
// a crystal the straps leave open, integrated chips, and a card that does not
// answer; and the signal mask of the question after an apply.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <csignal>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/keep_question.h"
#include "card/chip.h"
#include "clock/clock_engine.h"
#include "support/profiles.h"
#include "support/run_program.h"
#include "support/trace_decoder.h"

namespace {
int sigprocmask_calls = 0;
}  // namespace

// Stands in for the C library's: a process that runs Qt threads must change
// only the calling thread's mask, which sigprocmask does not promise.
extern "C" int sigprocmask(int how, const sigset_t* set, sigset_t* old) {
    ++sigprocmask_calls;
    return pthread_sigmask(how, set, old) == 0 ? 0 : -1;
}

namespace ruvuvuri::test {
namespace {

using card::CrystalStraps;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr std::uint32_t kStrap = 0x101000, kCore = 0x680500, kMem = 0x680504;

TEST(Chips, WholeBlocksOfSixteenOfTheKnownChipsOnly) {
    const struct {
        std::uint16_t device;
        const char* chip;  // nullptr: not a chip the program sets
    } cases[] = {
        {0x0100, "NV10"},  {0x010F, "NV10"},  {0x0110, "NV11"},  {0x0120, nullptr},
        {0x0153, "NV15"},  {0x0171, "NV17"},  {0x0189, "NV18"},  {0x01A0, "NV1A"},
        {0x01F0, "NV1F"},  {0x0203, "NV20"},  {0x0250, "NV25"},  {0x028C, "NV28"},
        {0x0290, nullptr}, {0x0300, nullptr}, {0x0040, nullptr}, {0x2204, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        const auto chip = card::ChipFor(c.device);
        ASSERT_EQ(chip.has_value(), c.chip != nullptr);
        if (chip) {
            EXPECT_STREQ(chip->name, c.chip);
        }
    }
    EXPECT_TRUE(card::ChipFor(0x01A0)->integrated);
    EXPECT_FALSE(card::ChipFor(0x0110)->integrated);
}

TEST(Crystal, ByTheChipsStrapsAndWhatWasStated) {
    const struct {
        CrystalStraps straps;
        std::uint32_t strap;
        int stated;  // 0: none
        int khz;
        int open0, open1;
        bool contradicted;
    } cases[] = {
        {CrystalStraps::Bit6, 0x00000040, 0, 14318, 0, 0, false},
        {CrystalStraps::Bit6, 0x00000000, 0, 13500, 0, 0, false},
        {CrystalStraps::Bit6, 0x00400040, 0, 14318, 0, 0, false},  // bit 22 means nothing
        {CrystalStraps::Bit6, 0x00400000, 27000, 13500, 0, 0, true},
        {CrystalStraps::Bit6, 0x00000040, 14318, 14318, 0, 0, false},
        {CrystalStraps::Bit22Is27Mhz, 0x00000040, 0, 14318, 0, 0, false},
        {CrystalStraps::Bit22Is27Mhz, 0x00400000, 0, 27000, 0, 0, false},
        {CrystalStraps::Bit22Is27Mhz, 0x00400000, 25000, 27000, 0, 0, true},
        {CrystalStraps::Bit22Is27Mhz, 0x00400040, 0, 14318, 25000, 27000, false},
        {CrystalStraps::Bit22Is27Mhz, 0x00400040, 25000, 25000, 0, 0, false},
        {CrystalStraps::Bit22Is27Mhz, 0x00400040, 14318, 14318, 25000, 27000, true},
        {CrystalStraps::Bit22Unclear, 0x00000000, 0, 13500, 0, 0, false},
        {CrystalStraps::Bit22Unclear, 0x00400040, 0, 14318, 14318, 27000, false},
        {CrystalStraps::Bit22Unclear, 0x00400000, 13500, 13500, 0, 0, false},
        {CrystalStraps::Bit22Unclear, 0x00400000, 27000, 27000, 0, 0, false},
        {CrystalStraps::Bit22Unclear, 0x00400000, 25000, 13500, 13500, 27000, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.strap << " stated " << std::dec << c.stated
                                        << " rule " << static_cast<int>(c.straps));
        const clock::Crystal crystal = clock::CrystalFor(
            c.straps, c.strap, c.stated != 0 ? std::optional(c.stated) : std::nullopt);
        EXPECT_EQ(crystal.khz, c.khz);
        EXPECT_EQ(crystal.open[0], c.open0);
        EXPECT_EQ(crystal.open[1], c.open1);
        EXPECT_EQ(crystal.contradicted, c.contradicted);
    }
}

// A simulated card of the given chip and strap, the built-in card's PLLs
// (core 0x6207, memory 0x740a) and timings.
std::filesystem::path Card(const TempDir& dir, std::uint16_t device, std::uint32_t strap = 0x40) {
    ProfileCard card;
    card.bios.device = device;
    card.registers[kStrap] = strap;
    return WriteProfile(dir.path(), card);
}

// A chip of a later generation: only the BIOS is read, whatever was asked.
TEST(Chips, AnUnknownChipIsNeverTouched) {
    for (const std::uint16_t device : {0x2204, 0x0300}) {
        SCOPED_TRACE(device);
        const struct {
            std::vector<std::string> args;
            int status;
        } runs[] = {
            {{"c=250"}, 0}, {{"--dry-run", "c=250"}, 0}, {{"--strict", "c=250"}, 3}, {{}, 0}};
        for (const auto& run : runs) {
            TempDir dir;
            const auto profile = Card(dir, device);
            std::vector<std::string> args = {"--sim=" + profile.string(),
                                             "--trace=" + (dir / "t").string()};
            args.insert(args.end(), run.args.begin(), run.args.end());
            const ProgramResult result = RunRuvuvuri(args);
            EXPECT_EQ(result.exit_code, run.status) << result.err;
            const std::string id = device == 0x2204 ? "0x2204" : "0x0300";
            EXPECT_THAT(result.err, HasSubstr("device ID is " + id));
            EXPECT_THAT(result.err, HasSubstr("(NV1x/NV2x) chips"));
            EXPECT_THAT(result.err, HasSubstr("nothing was touched"));
            EXPECT_EQ(ReadFile(dir / "t"), "# ruvuvuri trace 1\nmem 0xc0000 8192\n");
            EXPECT_THAT(result.out, IsEmpty());
            EXPECT_EQ(SavedRegister(profile, kCore), 0x6207u);
        }
    }
}

TEST(InfoJson, SaysWhetherTheChipIsSupported) {
    const struct {
        std::uint16_t device;
        bool geforce;
        const char* chip;
    } cases[] = {{0x0150, true, "NV15"}, {0x2204, true, nullptr}, {0x0150, false, nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        TempDir dir;
        ProfileCard card;
        card.bios.device = c.device;
        card.bios.vendor = c.geforce ? 0x10DE : 0x1002;
        const auto profile = WriteProfile(dir.path(), card);
        const ProgramResult run = RunRuvuvuri({"--sim=" + profile.string(), "--info", "--json"});
        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_THAT(run.err, IsEmpty());
        const auto info = nlohmann::json::parse(run.out);
        EXPECT_EQ(info.at("supported"), c.chip != nullptr);
        EXPECT_EQ(info.at("bios").at("device_id"), c.device);
        if (c.chip != nullptr) {
            EXPECT_EQ(info.at("chip"), c.chip);
            EXPECT_EQ(info.at("crystal_certain"), true);
            EXPECT_EQ(info.at("core").at("khz"), 200452);
        } else {
            EXPECT_TRUE(info.at("chip").is_null());
            EXPECT_FALSE(info.contains("core"));
        }
    }
}

// GeForce4 boards with a 27 MHz crystal: read and set from it where the straps
// say so, refused where they leave it open until --crystal says which.
TEST(Crystal, StrapBit22OfTheLaterChips) {
    const struct {
        std::uint16_t device;
        std::uint32_t strap;
        std::vector<std::string> args;
        int status;
        const char* says;          // on stdout, or stderr for a refusal
        std::uint32_t core_after;  // the core PLL word afterwards (0x6207 before)
    } cases[] = {
        // NV25, bit 22 alone: 27000 kHz; 200 MHz is M 10, N 74 (199.800 MHz).
        {0x0250, 0x00400000, {"--info"}, 0, "Crystal:          27000 kHz\n", 0x6207},
        {0x0250, 0x00400000, {"--info"}, 0, "Core clock:       378.000 MHz", 0x6207},
        {0x0250, 0x00400000, {"c=200"}, 0, "", 0x4a0a},
        // NV15: bit 22 means nothing.
        {0x0150, 0x00400040, {"c=200"}, 0, "", 0x6207},
        {0x0150, 0x00400040, {"--crystal=27000", "--info"}, 2, "contradicts the straps", 0x6207},
        // NV25 with bits 22 and 6: 25000 or 27000 kHz.
        {0x0250, 0x00400040, {"--info"}, 0, "14318 kHz (uncertain: strap 0x00400040", 0x6207},
        {0x0250, 0x00400040, {"c=200"}, 255, "--crystal=25000 or --crystal=27000", 0x6207},
        {0x0250, 0x00400040, {"t0=1"}, 255, "bits 22 and 6 set", 0x6207},
        {0x0250, 0x00400040, {"--crystal=27000", "c=200"}, 0, "", 0x4a0a},
        {0x0250, 0x00400040, {"--crystal=14318", "c=200"}, 2, "neither of the crystals", 0x6207},
        // NV17 with bit 22: 27000 kHz, or the bit-6 crystal.
        {0x0171, 0x00400040, {"m=183"}, 255, "14318 or 27000 kHz", 0x6207},
        {0x0171, 0x00400040, {"--crystal=14318", "c=200"}, 0, "", 0x6207},
        {0x0171, 0x00000040, {"c=150"}, 0, "", 0x880d},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << std::hex << c.device << " " << c.strap << " " << c.args.back());
        TempDir dir;
        const auto profile = Card(dir, c.device, c.strap);
        std::vector<std::string> args = {"--sim=" + profile.string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProgramResult run = RunRuvuvuri(args);
        EXPECT_EQ(run.exit_code, c.status) << run.err;
        EXPECT_THAT(c.status == 0 ? run.out : run.err, HasSubstr(c.says));
        if (c.status != 0) {
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        }
        EXPECT_EQ(SavedRegister(profile, kCore), c.core_after);
    }
}

// The chipset clocks an integrated chip's memory: readable, never written.
TEST(Chips, AnIntegratedChipIsReadButNotWritten) {
    for (const std::uint16_t device : {0x01A0, 0x01F0}) {
        SCOPED_TRACE(device);
        TempDir dir;
        const auto profile = Card(dir, device);
        const ProgramResult info = RunRuvuvuri({"--sim=" + profile.string(), "--info"});
        EXPECT_EQ(info.exit_code, 0);
        EXPECT_THAT(info.out, HasSubstr("integrated)\n"));
        for (const char* option : {"c=150", "t1=5"}) {
            const ProgramResult run = RunRuvuvuri({"--sim=" + profile.string(), option});
            EXPECT_EQ(run.exit_code, 255);
            EXPECT_THAT(run.err, HasSubstr("no memory PLL or memory timing registers"));
        }
        const ProgramResult panel = RunRuvuvuri({"--sim=" + profile.string(), "--ui=console"},
                                                "core 150\napply\ny\npreview\n");
        EXPECT_THAT(panel.out, HasSubstr("so Ruvuvuri writes nothing to it; nothing was written."));
        EXPECT_THAT(panel.err, HasSubstr("Ruvuvuri: The NV1"));
        EXPECT_THAT(panel.err, Not(HasSubstr("Are You shure?")));
        EXPECT_EQ(SavedRegister(profile, kCore), 0x6207u);
        EXPECT_EQ(SavedRegister(profile, 0x100224), 0x0a0au);
    }
}

TEST(KeepQuestion, HoldsSignalsOnTheCallingThreadOnly) {
    sigprocmask_calls = 0;
    sigset_t before, during, after;
    pthread_sigmask(SIG_SETMASK, nullptr, &before);
    {
        const app::HeldStopSignals held;
        pthread_sigmask(SIG_SETMASK, nullptr, &during);
        EXPECT_EQ(sigismember(&during, SIGINT), 1);
    }
    pthread_sigmask(SIG_SETMASK, nullptr, &after);
    EXPECT_EQ(sigismember(&after, SIGINT), sigismember(&before, SIGINT));
    EXPECT_EQ(sigprocmask_calls, 0);
}

}  // namespace
}  // namespace ruvuvuri::test
