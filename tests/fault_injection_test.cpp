// SPDX-License-Identifier: GPL-2.0-or-later
// A card that misbehaves as one on a real bus can: words that cannot be
// decoded, registers that drop their writes, a card that does not answer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/options.h"
#include "app/startup.h"
#include "card/bios_builder.h"
#include "clock/clock_engine.h"
#include "hw/register_window.h"
#include "support/expected_trace.h"
#include "support/faulty_bus.h"
#include "support/profiles.h"
#include "support/run_program.h"
#include "support/trace_decoder.h"

namespace ruvuvuri::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr std::uint32_t kStrap = 0x101000, kCore = 0x680500, kMem = 0x680504;
constexpr std::uint32_t kSelect = 0x68050c;
constexpr std::uint32_t k150Mhz = 0x880d, k183Mhz = 0x7309;  // 150.000 and 182.952 MHz

hw::CardState Card(std::uint32_t core, std::uint32_t mem) {
    hw::CardState state;
    state.registers = {{kStrap, 0x40}, {kCore, core}, {kMem, mem},  {kSelect, 0},
                       {0x100220, 1},  {0x100224, 2}, {0x100228, 3}};
    state.bios = card::BuildBiosImage();
    return state;
}

struct Bench {
    explicit Bench(hw::CardState state) : card(std::move(state)), bus(card), window(bus) {
        engine.EnableClockChanges();
    }
    hw::SimCard card;
    FaultyBus bus;
    hw::RegisterWindow window;
    clock::ClockEngine engine{window};
};

// Words whose M (or N) decode as zero, read back from the PLLs: the readout
// must not divide by zero and a new clock still goes in.
TEST(Faults, UndecodablePllWordsReadAsZeroAndCanBeReprogrammed) {
    for (const std::uint32_t word : {0x00000000u, 0x0000ff00u, 0x000f0000u, 0x000000ffu}) {
        SCOPED_TRACE(word);
        Bench bench(Card(word, word));
        const clock::ClockReading reading = bench.engine.GetCurrentClocks();
        EXPECT_EQ(reading.nvclk, 0u);
        EXPECT_EQ(reading.memclk, 0u);
        EXPECT_TRUE(bench.engine.ChangeSpeed(183000, 150000));
        EXPECT_EQ(bench.card.state().registers.at(kCore), k150Mhz);
        EXPECT_EQ(bench.card.state().registers.at(kMem), k183Mhz);
        EXPECT_THAT(bench.card.state().faults, IsEmpty());
    }
}

// A core PLL that ignores writes: the memory clock still changes, and what the
// card then reads back is its old core clock.
TEST(Faults, AnIgnoredPllKeepsItsWordAndTheOtherOneChanges) {
    Bench bench(Card(0x6207, 0x740a));
    bench.bus.ignore_writes = {kCore};
    EXPECT_TRUE(bench.engine.ChangeSpeed(183000, 150000));
    const clock::ClockReading reading = bench.engine.GetCurrentClocks();
    EXPECT_EQ(reading.nvclk, 200452u);
    EXPECT_EQ(reading.memclk, 182952u);
    EXPECT_THAT(bench.card.state().faults, IsEmpty());
}

// A card that does not answer (every read all ones) is read, and never
// written: the run ends with 255 and one line that says why.
TEST(Faults, ACardThatDoesNotAnswerIsReadButNeverWritten) {
    Bench bench(Card(0x6207, 0x740a));
    bench.bus.reads_all_ones = true;
    const hw::CardState before = bench.card.state();
    card::BiosImage bios;
    bench.bus.ReadFromPhysicalMemory(card::kBiosAddress, bios.image());
    const char* argv[] = {"ruvuvuri", "c=150", "t0=1", nullptr};
    testing::internal::CaptureStderr();
    const int status = app::RunOnCard(bios, bench.bus, app::ParseCommandLine(3, argv));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, -1);
    EXPECT_THAT(err, HasSubstr("does not answer through its register window"));
    EXPECT_EQ(bench.card.state().registers, before.registers);
}

// End to end, registers that read all ones: --info shows them, a write is
// refused and the panel says why.
TEST(FaultsEndToEnd, RegistersReadingAllOnesAreNeverWritten) {
    for (const std::uint32_t address : {kStrap, kCore, kMem}) {
        SCOPED_TRACE(address);
        TempDir dir;
        ProfileCard card;
        card.registers[address] = 0xFFFFFFFF;
        const auto profile = WriteProfile(dir.path(), card);
        const auto trace = dir / "run.trace";
        const ProgramResult info = RunRuvuvuri({"--sim=" + profile.string(), "--info"});
        EXPECT_EQ(info.exit_code, 0) << info.err;
        EXPECT_THAT(ReadFile(profile), Not(HasSubstr("\"started\"")));  // nothing to restore

        const ProgramResult run = RunRuvuvuri(
            {"--sim=" + profile.string(), "--trace=" + trace.string(), "c=150", "t0=1"});
        EXPECT_EQ(run.exit_code, 255);
        EXPECT_THAT(run.err, HasSubstr("does not answer through its register window"));
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_THAT(DecodeRegisterWrites(SplitLines(ReadFile(trace))), IsEmpty());

        const ProgramResult panel =
            RunRuvuvuri({"--sim=" + profile.string(), "--ui=console"}, "core 150\napply\ny\n");
        EXPECT_THAT(panel.err, HasSubstr("Ruvuvuri: The card does not answer"));
        EXPECT_EQ(SavedRegister(profile, kCore), card.registers.at(kCore));
    }
}

TEST(FaultsEndToEnd, PllsReadingZeroDoNotStopTheProgram) {
    for (const char* option : {"--info", "m=183", "c=150"}) {
        SCOPED_TRACE(option);
        TempDir dir;
        ProfileCard card;
        card.registers[kCore] = 0;
        card.registers[kMem] = 0x0000ff00;  // N without M
        const auto profile = WriteProfile(dir.path(), card);

        const ProgramResult run = RunRuvuvuri({"--sim=" + profile.string(), option});

        EXPECT_EQ(run.exit_code, 0) << run.err;
        if (std::string(option) == "--info") {
            EXPECT_THAT(run.out, HasSubstr("0.000 MHz"));
        }
    }
}

}  // namespace
}  // namespace ruvuvuri::test
