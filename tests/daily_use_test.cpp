// SPDX-License-Identifier: GPL-2.0-or-later
// Daily use on a simulated card kept in a profile: the clocks the card started
// with and --restore, settings applied at start with their guard, and the
// clocks a panel's arrows step to.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "clock/clock_engine.h"
#include "hw/backend.h"
#include "support/profiles.h"
#include "support/run_program.h"
#include "support/trace_decoder.h"

namespace ruvuvuri::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr std::uint32_t kCore = 0x680500, kMem = 0x680504, kTiming0 = 0x100220;

ProgramResult OnProfile(const std::filesystem::path& profile, std::vector<std::string> args) {
    args.insert(args.begin(), "--sim=" + profile.string());
    return RunRuvuvuri(args);
}

// The first run keeps what it read in the profile; later changes are written
// back by --restore, and --info shows the difference until then.
TEST(Started, TheFirstRunKeepsTheCardAndRestoreWritesItBack) {
    TempDir dir;
    const auto profile = WriteProfile(dir.path(), {});
    // No run has read the card yet: nothing to restore, nothing touched.
    const ProgramResult none = OnProfile(profile, {"--restore", "--trace=" + (dir / "t").string()});
    EXPECT_EQ(none.exit_code, 2);
    EXPECT_THAT(none.err, HasSubstr("no run has read the card since the machine started"));
    EXPECT_EQ(ReadFile(dir / "t"), "# ruvuvuri trace 1\nmem 0xc0000 8192\n");

    ASSERT_EQ(OnProfile(profile, {"c=150", "t0=1"}).exit_code, 0);
    const auto saved = nlohmann::json::parse(ReadFile(profile));
    EXPECT_EQ(saved["started"]["core_pll"], "0x00006207");
    EXPECT_EQ(saved["started"]["timings"][0], "0x22322222");
    const ProgramResult info = OnProfile(profile, {"--info"});
    EXPECT_THAT(info.out, HasSubstr("Started with:     core 200.452 MHz (PLL 0x00006207)"));
    const auto json = nlohmann::json::parse(OnProfile(profile, {"--info", "--json"}).out);
    EXPECT_EQ(json["started"]["core"]["khz"], 200452);
    EXPECT_THAT(OnProfile(profile, {"--restore", "--dry-run"}).out,
                HasSubstr("Core PLL     0x680500  0x0000880D  0x00006207"));

    EXPECT_EQ(OnProfile(profile, {"--restore", "c=150"}).exit_code, 2);
    const ProgramResult restore = OnProfile(profile, {"--restore"});
    EXPECT_EQ(restore.exit_code, 0) << restore.err;
    EXPECT_EQ(SavedRegister(profile, kCore), 0x6207u);
    EXPECT_EQ(SavedRegister(profile, kTiming0), 0x22322222u);
    EXPECT_THAT(OnProfile(profile, {"--info"}).out, Not(HasSubstr("Started with:")));
}

// A start that applied settings and never shut down leaves the guard: the
// next start writes nothing until --at-shutdown or --force clears the way.
TEST(AtBoot, TheGuardStopsTheStartAfterOneThatHung) {
    TempDir dir;
    const auto profile = WriteProfile(dir.path(), {});
    const auto guard = profile.string() + ".boot-guard";
    EXPECT_EQ(OnProfile(profile, {"--at-boot"}).exit_code, 0);  // no settings: nothing at all
    EXPECT_FALSE(std::filesystem::exists(guard));

    const struct {
        std::vector<std::string> args;
        int status;
        std::uint32_t core;
        bool armed;  // the guard marked afterwards
    } steps[] = {
        {{"--at-boot", "c=150"}, 0, 0x880d, true},
        {{"--at-boot", "c=175"}, 4, 0x880d, true},  // the start above never shut down
        {{"--at-boot", "--force", "c=175"}, 0, 0x6e09, true},
        {{"--at-shutdown", "c=175"}, 0, 0x6e09, false},
        {{"--at-boot", "c=200"}, 0, 0x6207, true},
        {{"--at-boot", "c=500"}, 2, 0x6207, true},  // refused as --strict refuses it
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.args.back());
        const ProgramResult run = OnProfile(profile, step.args);
        EXPECT_EQ(run.exit_code, step.status) << run.err;
        EXPECT_EQ(SavedRegister(profile, kCore), step.core);
        EXPECT_EQ(ReadFile(guard).empty(), !step.armed);
        if (step.status == 4) {
            EXPECT_THAT(run.err, HasSubstr("never shut down cleanly"));
            EXPECT_THAT(run.err, HasSubstr("--at-shutdown"));
        }
    }
}

TEST(StartEntry, IsForWindowsAndSaysWhatToUseHere) {
    const ProgramResult run = RunRuvuvuri({"--install-at-start", "c=200"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_THAT(run.err, HasSubstr("systemctl enable --now ruvuvuri"));
}

// A panel's arrows step to the clock the next coefficients give (14318 kHz).
TEST(ReachableClocks, StepToTheNextClockTheSearchGives) {
    const struct {
        std::uint32_t from;
        int direction;
        bool memory;
        std::uint32_t next;
    } cases[] = {
        {200452, +1, false, 201474},  // M 14, N 197
        {200452, -1, false, 199429},  // M 14, N 195
        {80050, -1, false, 79942},    // M 12, N 134, P 1
        {798228, +1, true, 801808},   // M 4, N 224
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        const std::uint32_t next = clock::NextReachableKhz(c.from, c.direction, c.memory, 14318);
        EXPECT_EQ(next, c.next);
    }
}

TEST(RecordFile, KeepsItsTextAcrossOpens) {
    TempDir dir;
    const hw::StartedClocks started{0x6207, 0x740a, {1, 2, 3}};
    {
        hw::RecordFile file(dir / "sub" / "started");
        EXPECT_THAT(file.text(), IsEmpty());
        file.Write("boot=x " + hw::FormatStarted(started));
    }
    hw::RecordFile again(dir / "sub" / "started");
    EXPECT_EQ(hw::ParseStarted(again.text().substr(7)), started);
    EXPECT_EQ(hw::ParseStarted("core_pll=0x1"), std::nullopt);
}

}  // namespace
}  // namespace ruvuvuri::test
