// SPDX-License-Identifier: GPL-2.0-or-later
// The opt-in extensions, end to end on simulated cards: --dry-run, --strict,
// --info --json, --revert-after and --explain-trace.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/expected_trace.h"
#include "support/profiles.h"
#include "support/run_program.h"
#include "support/terminal_run.h"
#include "support/trace_decoder.h"

namespace ruvuvuri::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr std::uint32_t kStrap = 0x101000, kCore = 0x680500, kMem = 0x680504, kSelect = 0x68050c;
constexpr std::uint32_t kTiming[3] = {0x100220, 0x100224, 0x100228};

// The profile card: core 0x6207 (200.452 MHz), memory 0x740a (166.088 MHz).
CardModel ModelOf(const ProfileCard& card) {
    CardModel model;
    model.registers = card.registers;
    return model;
}

// A readout of both clocks and the three timings.
ExpectedTrace& ReadClocks(ExpectedTrace& trace) {
    return trace.SaveIndexAndUnlock()
        .RegisterRead(kStrap)
        .RegisterRead(kMem)
        .RegisterRead(kCore)
        .RestoreIndex()
        .RegisterRead(kTiming[0])
        .RegisterRead(kTiming[1])
        .RegisterRead(kTiming[2]);
}

// What every run on a GeForce begins with, after the BIOS read.
ExpectedTrace& Readout(ExpectedTrace& trace) {
    return ReadClocks(trace.SetBaseport());
}

// Both PLLs in two stages inside the bracket; `core1`/`mem1` are the first
// stages (new M and N under the old upper half).
ExpectedTrace& PllSequence(ExpectedTrace& trace, std::uint32_t select, std::uint32_t core1,
                           std::uint32_t core, std::uint32_t mem1, std::uint32_t mem) {
    return trace.SaveIndexAndUnlock()
        .RegisterRead(kStrap)
        .IrqOff()
        .RegisterRead(kSelect)
        .RegisterWrite(kSelect, select)
        .RegisterRead(kCore)
        .RegisterWrite(kCore, core1)
        .RegisterRead(kCore)
        .RegisterWrite(kCore, core)
        .RegisterRead(kMem)
        .RegisterWrite(kMem, mem1)
        .RegisterRead(kMem)
        .RegisterWrite(kMem, mem)
        .RestoreIndex()
        .IrqOn();
}

std::vector<std::string> WithBiosRead(std::vector<std::string> lines) {
    lines.insert(lines.begin() + 1, "mem 0xc0000 8192");
    return lines;
}

TEST(DryRun, PrintsThePlanAndTheTraceHoldsOnlyReads) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> shown;
        bool reads_select;
    } cases[] = {
        {{"c=150", "t0=1"},
         {"PLL select   0x68050C  0x00000200  0x00000700",
          "Core PLL     0x680500  0x00006207  0x0000880D  M 13 N 136 P 0: 149.788 MHz, asked "
          "150.000 MHz",
          "Memory PLL   0x680504  0x0000740A  0x0000740A  M 10 N 116 P 0: 166.088 MHz, asked "
          "166.088 MHz",
          "Timing 0     0x100220  0x22322222  0x00000001"},
         true},
        {{"t2=5"}, {"Timing 2     0x100228  0x05050505  0x00000005"}, false},
        {{"c=79"}, {"nothing would be written"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front());
        TempDir dir;
        ProfileCard card;
        card.registers[kSelect] = 0x200;
        const auto profile = WriteProfile(dir.path(), card);
        const auto trace = dir / "run.trace";
        std::vector<std::string> args = {"--sim=" + profile.string(), "--trace=" + trace.string(),
                                         "--dry-run"};
        args.insert(args.end(), c.args.begin(), c.args.end());

        const ProgramResult run = RunRuvuvuri(args, "apply\ny\n");

        EXPECT_EQ(run.exit_code, 0) << run.err;
        for (const std::string& line : c.shown) {
            EXPECT_THAT(run.out, HasSubstr(line));
        }
        EXPECT_THAT(run.out, Not(HasSubstr("Are You shure?")));  // never a panel
        ExpectedTrace expected(ModelOf(card));
        Readout(expected);
        if (c.reads_select) {
            expected.RegisterRead(kSelect);
        }
        EXPECT_EQ(SplitLines(ReadFile(trace)), WithBiosRead(expected.lines()));
        for (const auto& [address, value] : card.registers) {
            EXPECT_EQ(SavedRegister(profile, address), value);
        }
    }
}

TEST(Strict, RefusesEveryIgnoredArgumentBeforeTouchingAnything) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> errors;  // the start of each stderr line, in order
    } cases[] = {
        {{"c=79.99", "m=abc", "t0=AAAAAAAA", "t2=123456789", "x=1"},
         {"c=79.99: the core clock", "m=abc: not a number", "t0=AAAAAAAA: AAAAAAAA cannot",
          "t2=123456789: more than 32 bits", "x=1: not an option"}},
        {{"c=150MHz", "t1=-1"}, {"c=150MHz: not a number", "t1=-1: not a hexadecimal"}},
        {{"c=150", "C=200"}, {"c=150: given again by C=200"}},
        {{"m=300", "--frobnicate", "--ui=gtk"},
         {"--frobnicate: unknown option", "--ui=gtk: the panel engine"}},
        {{"--info", "c=150"}, {"--info: writes nothing"}},
        {{}, {"--strict: no clock or timing option to apply"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        TempDir dir;
        const auto profile = WriteProfile(dir.path(), {});
        const auto before = ReadFile(profile);
        const auto trace = dir / "run.trace";
        std::vector<std::string> args = {"--strict", "--sim=" + profile.string(),
                                         "--trace=" + trace.string()};
        args.insert(args.end(), c.args.begin(), c.args.end());

        const ProgramResult run = RunRuvuvuri(args, "apply\ny\n");

        EXPECT_EQ(run.exit_code, 2);
        const auto lines = SplitLines(run.err);
        ASSERT_EQ(lines.size(), c.errors.size()) << run.err;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].rfind("ruvuvuri: " + c.errors[i], 0), 0u) << lines[i];
        }
        EXPECT_THAT(run.out, IsEmpty());
        EXPECT_FALSE(std::filesystem::exists(trace));  // not even the card check ran
        EXPECT_EQ(ReadFile(profile), before);
    }
}

TEST(Strict, ValidOptionsApplyAsUsualAndNoGeForceExitsWith3) {
    TempDir dir;
    const auto profile = WriteProfile(dir.path(), {});
    const ProgramResult fine = RunRuvuvuri({"--strict", "--sim=" + profile.string(), "c=150"});
    EXPECT_EQ(fine.exit_code, 0) << fine.err;
    EXPECT_EQ(SavedRegister(profile, kCore), 0x880du);

    ProfileCard no_bios;
    no_bios.with_bios = false;
    TempDir other_dir;
    const auto other = WriteProfile(other_dir.path(), no_bios);
    const ProgramResult none = RunRuvuvuri({"--strict", "--sim=" + other.string(), "c=150"});
    EXPECT_EQ(none.exit_code, 3);
    EXPECT_THAT(none.err, HasSubstr("ruvuvuri: I think, you don't have GeForce card?"));
    EXPECT_THAT(none.err, Not(HasSubstr("Ruvuvuri: ")));  // no popup
}

TEST(InfoJson, HoldsTheFactsOfInfo) {
    TempDir dir;
    const auto profile = WriteProfile(dir.path(), {});
    const ProgramResult run = RunRuvuvuri({"--sim=" + profile.string(), "--info", "--json"});
    ASSERT_EQ(run.exit_code, 0) << run.err;

    const auto info = nlohmann::json::parse(run.out);
    EXPECT_EQ(info["format"], 1);
    EXPECT_EQ(info["backend"], "sim-profile");
    EXPECT_EQ(info["bios"]["device_id"], 0x0150);
    EXPECT_EQ(info["bios"]["version"], "3.11.01.05");
    EXPECT_EQ(info["crystal_khz"], 14318);
    EXPECT_EQ(info["core"], nlohmann::json::parse(R"({"khz": 200452, "mhz": 200.452,
        "pll_word": 25095, "m": 7, "n": 98, "p": 0})"));
    EXPECT_EQ(info["memory"]["khz"], 166088);
    EXPECT_EQ(info["memory"]["pll_word"], 0x740a);
    EXPECT_EQ(info["timings"], nlohmann::json::parse("[573710882, 2570, 84215045]"));

    const ProgramResult help = RunRuvuvuri({"--help"});
    for (const char* option :
         {"--json", "--dry-run", "--strict", "--revert-after=SECONDS", "--explain-trace=FILE"}) {
        EXPECT_THAT(help.out, HasSubstr(option));
    }
}

// m=183 applied, then the answer on the terminal. Expected traces: the apply,
// and for a revert the same sequence with the words read at start, then all
// three timings, then the readout again.
TEST(RevertAfter, AnythingButYesWritesBackWhatWasRead) {
    struct Case {
        const char* name;
        TerminalScript script;
        bool kept;
        int exit_code;
    } cases[] = {
        {"yes", {"YES", 0}, true, 0},
        {"no", {"no", 0}, false, 0},
        {"time out", {"", 0}, false, 0},
        {"signal", {"", SIGTERM}, false, 128 + SIGTERM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const ProfileCard card;
        const auto profile = WriteProfile(dir.path(), card);
        const auto trace = dir / "run.trace";

        const TerminalRun run = RunRuvuvuriOnTerminal(
            {"--sim=" + profile.string(), "--trace=" + trace.string(), "--revert-after=1", "m=183"},
            "", c.script);

        EXPECT_TRUE(run.asked) << run.terminal << run.result.err;
        EXPECT_EQ(run.result.exit_code, c.exit_code) << run.result.err;
        EXPECT_THAT(run.terminal, HasSubstr("Keep these settings? Reverting in 1 s"));
        ExpectedTrace expected(ModelOf(card));
        Readout(expected);
        PllSequence(expected, 0x500, 0x6207, 0x6207, 0x7309, 0x7309);
        if (!c.kept) {
            PllSequence(expected, 0x500, 0x6207, 0x6207, 0x740a, 0x740a)
                .RegisterWrite(kTiming[0], 0x22322222)
                .RegisterWrite(kTiming[1], 0x00000a0a)
                .RegisterWrite(kTiming[2], 0x05050505);
        }
        ReadClocks(expected);
        std::vector<std::string> lines = WithBiosRead(expected.lines());
        if (c.script.signal != 0) {
            // The signal ends the run once the card is reverted and read: the
            // trace holds what was written out when the last bracket closed,
            // and the profile is left as it was.
            lines.resize(std::find(lines.rbegin(), lines.rend(), "irq on").base() - lines.begin());
        }
        EXPECT_EQ(SplitLines(ReadFile(trace)), lines);
        EXPECT_EQ(SavedRegister(profile, kMem), c.kept ? 0x7309u : 0x740au);
        EXPECT_THAT(run.terminal, HasSubstr(c.kept ? "Kept: core 200.452 MHz, memory 182.952 MHz"
                                                   : "Reverted: core 200.452 MHz, memory 166.088"));
    }
}

// The console panel asks on the terminal too, never on its own input: the
// "y" after "apply" confirms the apply and the "y" after it is not an answer.
TEST(RevertAfter, TheConsolePanelAsksOnTheTerminal) {
    TempDir dir;
    const auto profile = WriteProfile(dir.path(), {});
    const TerminalRun run =
        RunRuvuvuriOnTerminal({"--sim=" + profile.string(), "--ui=console", "--revert-after=30"},
                              "core 150\napply\ny\ny\nexit\n", {"no", 0});
    EXPECT_TRUE(run.asked);
    EXPECT_EQ(run.result.exit_code, 0) << run.result.err;
    EXPECT_THAT(run.terminal, HasSubstr("Reverted: core 200.452 MHz"));
    EXPECT_EQ(SavedRegister(profile, kCore), 0x6207u);
}

// Without a controlling terminal only a Qt panel can ask: with no display the
// run is refused before the card is touched, with one a command-line change is
// refused before it is written.
TEST(RevertAfter, WithoutATerminalNothingIsWritten) {
    struct Case {
        const char* display;
        const char* says;
    } cases[] = {{"", "run it from a terminal or leave --revert-after out; nothing was done"},
                 {":99", "use the Qt panel or leave --revert-after out; nothing was written"}};
    for (const Case& c : cases) {
        TempDir dir;
        const auto profile = WriteProfile(dir.path(), {});
        const ProgramResult run =
            RunProgram("/usr/bin/setsid",
                       {"-w", RUVUVURI_BINARY_DIR "/ruvuvuri", "--sim=" + profile.string(),
                        "--revert-after=5", "c=150"},
                       "", {{"DISPLAY", c.display}, {"WAYLAND_DISPLAY", ""}});
        EXPECT_EQ(run.exit_code, 2) << run.err;
        EXPECT_THAT(run.err, HasSubstr(c.says));
        EXPECT_EQ(SavedRegister(profile, kCore), 0x6207u);
    }
}

TEST(ExplainTrace, DecodesEachRunIntoRegisterAccessesAndChanges) {
    TempDir dir;
    const ProfileCard card;
    ExpectedTrace first(ModelOf(card));
    Readout(first);
    PllSequence(first, 0x500, 0x880d, 0x880d, 0x740a, 0x740a);
    ExpectedTrace second(ModelOf(card));
    Readout(second);
    std::string text;
    for (const auto& lines : {WithBiosRead(first.lines()), second.lines()}) {
        for (const auto& line : lines) {
            text += line + "\n";
        }
    }
    const auto trace = dir / "run.trace";
    WriteFile(trace, text + "outb 0x3d4\n");

    const ProgramResult run = RunRuvuvuri({"--explain-trace=" + trace.string()});

    EXPECT_EQ(run.exit_code, 0) << run.err;
    for (const char* shown : {
             "Run 1\n  BIOS read: 8192 bytes at 0xC0000\n",
             "  read  Strap       0x101000 = 0x00000040  crystal 14318 kHz\n",
             "  write Core PLL    0x680500 <- 0x0000880D  M 13 N 136 P 0: 149.788 MHz\n",
             "  Changed:\n    PLL select  0x68050C  0x00000000 -> 0x00000500\n"
             "    Core PLL    0x680500  0x00006207 -> 0x0000880D  M 13 N 136 P 0: 149.788 MHz\n",
             "Run 2\n",
             "  Changed: nothing\n",
         }) {
        EXPECT_THAT(run.out, HasSubstr(shown));
    }
    const auto bad_line = std::count(text.begin(), text.end(), '\n') + 1;
    EXPECT_THAT(run.err, HasSubstr("line " + std::to_string(bad_line) + ": not a trace line"));

    const ProgramResult missing = RunRuvuvuri({"--explain-trace=" + (dir / "none").string()});
    EXPECT_EQ(missing.exit_code, 255);
    EXPECT_THAT(missing.err, HasSubstr("cannot read the trace"));
}

}  // namespace
}  // namespace ruvuvuri::test
