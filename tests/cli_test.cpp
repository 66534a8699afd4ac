// SPDX-License-Identifier: GPL-2.0-or-later
// The built program, run end to end on simulated cards: exit codes, messages,
// the saved card state and the access trace.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/expected_trace.h"
#include "support/profiles.h"
#include "support/run_program.h"
#include "support/trace_decoder.h"

namespace ruvuvuri::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

constexpr std::uint32_t kCore = 0x680500, kMem = 0x680504, kSelect = 0x68050c;
constexpr std::uint32_t kTiming[3] = {0x100220, 0x100224, 0x100228};
constexpr const char* kNoGeForce = "Ruvuvuri: I think, you don't have GeForce card?";

struct ApplyCase {
    std::vector<std::string> args;
    std::uint32_t core;  // PLL words and timings the card holds afterwards
    std::uint32_t mem;
    std::uint32_t timings[3];
    bool panel;  // nothing took effect, so the panel was shown
};

// The test card starts at core 0x6207 (200.452 MHz), memory 0x740a (166.088 MHz).
const ApplyCase kApplyCases[] = {
    {{"m=183"}, 0x6207, 0x7309, {0x22322222, 0xa0a, 0x05050505}, false},
    {{"c=80", "m=800"}, 0x17b0b, 0xdf04, {0x22322222, 0xa0a, 0x05050505}, false},
    {{"C=150"}, 0x880d, 0x740a, {0x22322222, 0xa0a, 0x05050505}, false},
    {{"c=150", "c=abc"}, 0x880d, 0x740a, {0x22322222, 0xa0a, 0x05050505}, false},
    {{"c=199.9999"}, 0x6207, 0x740a, {0x22322222, 0xa0a, 0x05050505}, false},
    {{"T1=0x12345678"}, 0x6207, 0x740a, {0x22322222, 0x12345678, 0x05050505}, false},
    {{"t1=12345678"}, 0x6207, 0x740a, {0x22322222, 0x12345678, 0x05050505}, false},
    {{"t0=1", "t2=ffffffff"}, 0x6207, 0x740a, {0x1, 0xa0a, 0xffffffff}, false},
    {{"c=79.99"}, 0x6207, 0x740a, {0x22322222, 0xa0a, 0x05050505}, true},
    {{"c=400.01"}, 0x6207, 0x740a, {0x22322222, 0xa0a, 0x05050505}, true},
    {{"m=800.5"}, 0x6207, 0x740a, {0x22322222, 0xa0a, 0x05050505}, true},
    {{"t0=AAAAAAAA"}, 0x6207, 0x740a, {0x22322222, 0xa0a, 0x05050505}, true},
    {{"t3=5", "c200", "x=1"}, 0x6207, 0x740a, {0x22322222, 0xa0a, 0x05050505}, true},
    {{"c=abc"}, 0x6207, 0x740a, {0x22322222, 0xa0a, 0x05050505}, true},
    // Text that only begins a number converts nothing; a number followed by
    // text converts; a timing above 32 bits is ignored.
    {{"t0=0x", "c=100e"}, 0x6207, 0x740a, {0x22322222, 0xa0a, 0x05050505}, true},
    {{"t2=123456789"}, 0x6207, 0x740a, {0x22322222, 0xa0a, 0x05050505}, true},
    {{"c=150MHz", "t0=-1", "t1=0x1zzz"}, 0x880d, 0x740a, {0xffffffff, 0x1, 0x05050505}, false},
};

std::string Describe(const std::vector<std::string>& args) {
    std::string text;
    for (const auto& arg : args) {
        text += arg + " ";
    }
    return text;
}

TEST(CommandLine, AppliesWhatIsValidAndShowsThePanelOtherwise) {
    for (const ApplyCase& c : kApplyCases) {
        SCOPED_TRACE(Describe(c.args));
        TempDir dir;
        const auto profile = WriteProfile(dir.path(), {});
        std::vector<std::string> args = {"--sim=" + profile.string()};
        args.insert(args.end(), c.args.begin(), c.args.end());

        const ProgramResult run = RunRuvuvuri(args);

        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(SavedRegister(profile, kCore), c.core);
        EXPECT_EQ(SavedRegister(profile, kMem), c.mem);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(SavedRegister(profile, kTiming[i]), c.timings[i]) << "timing " << i;
        }
        // The panel reads end of input as Exit; a run that applied something
        // ends without showing it.
        if (c.panel) {
            EXPECT_THAT(run.out, HasSubstr("Core clock"));
        } else {
            EXPECT_THAT(run.out, IsEmpty());
        }
        EXPECT_THAT(run.err, IsEmpty());
    }
}

// The whole run of `m=183`, line for line: the BIOS read, the CRT controller
// port, the readout, then both PLLs in two stages inside the bracket. A core
// PLL at 129.884 MHz, whose round trip through MHz gives 129883 kHz.
TEST(CommandLine, TraceOfAWholeRunFollowsTheHardwareSequence) {
    TempDir dir;
    ProfileCard card;
    card.registers[kCore] = 0x00007f0e;
    card.registers[kSelect] = 0x00000200;
    const auto profile = WriteProfile(dir.path(), card);
    const auto trace = dir / "run.trace";

    const ProgramResult run =
        RunRuvuvuri({"--sim=" + profile.string(), "--trace=" + trace.string(), "m=183"});
    ASSERT_EQ(run.exit_code, 0) << run.err;

    CardModel model;
    model.registers = card.registers;
    ExpectedTrace expected(model);
    expected.SetBaseport()
        .SaveIndexAndUnlock()
        .RegisterRead(0x101000)
        .RegisterRead(kMem)
        .RegisterRead(kCore)
        .RestoreIndex()
        .RegisterRead(kTiming[0])
        .RegisterRead(kTiming[1])
        .RegisterRead(kTiming[2])
        .SaveIndexAndUnlock()
        .RegisterRead(0x101000)
        .IrqOff()
        .RegisterRead(kSelect)
        .RegisterWrite(kSelect, 0x00000700)
        .RegisterRead(kCore)
        .RegisterWrite(kCore, 0x00007f0e)
        .RegisterRead(kCore)
        .RegisterWrite(kCore, 0x00007f0e)
        .RegisterRead(kMem)
        .RegisterWrite(kMem, 0x00007309)
        .RegisterRead(kMem)
        .RegisterWrite(kMem, 0x00007309)
        .RestoreIndex()
        .IrqOn();
    // The expected list starts with the header; the BIOS read follows it.
    std::vector<std::string> lines = expected.lines();
    lines.insert(lines.begin() + 1, "mem 0xc0000 8192");
    EXPECT_EQ(SplitLines(ReadFile(trace)), lines);
    EXPECT_EQ(SavedRegister(profile, kMem), 0x00007309u);
}

// Timings are written after the clocks, and only those given.
TEST(CommandLine, GivenTimingsFollowTheClocks) {
    TempDir dir;
    const auto profile = WriteProfile(dir.path(), {});
    const auto trace = dir / "run.trace";
    ASSERT_EQ(
        RunRuvuvuri({"--sim=" + profile.string(), "--trace=" + trace.string(), "t2=1", "c=150"})
            .exit_code,
        0);

    const auto lines = SplitLines(ReadFile(trace));
    ASSERT_GE(lines.size(), 19u);
    CardModel model;
    model.registers = {{kTiming[2], 0x05050505}};
    ExpectedTrace write(model);
    write.RegisterWrite(kTiming[2], 0x00000001);
    const std::vector<std::string> tail(lines.end() - 18, lines.end());
    EXPECT_EQ(tail, std::vector<std::string>(write.lines().begin() + 1, write.lines().end()));
    EXPECT_EQ(lines[lines.size() - 19], "irq on");
}

TEST(CommandLine, WithoutAGeForceNothingIsTouched) {
    card::BiosLayout other_vendor;
    other_vendor.vendor = 0x1002;
    struct Case {
        const char* name;
        bool with_bios;
        card::BiosLayout bios;
    } cases[] = {{"no BIOS", false, {}}, {"not NVIDIA", true, other_vendor}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        ProfileCard card;
        card.with_bios = c.with_bios;
        card.bios = c.bios;
        const auto profile = WriteProfile(dir.path(), card);
        const auto trace = dir / "run.trace";

        const ProgramResult run = RunRuvuvuri(
            {"--sim=" + profile.string(), "--trace=" + trace.string(), "c=150", "t0=1"});

        EXPECT_EQ(run.exit_code, 0);
        EXPECT_EQ(run.err, std::string(kNoGeForce) + "\n");
        EXPECT_EQ(SplitLines(ReadFile(trace)),
                  (std::vector<std::string>{kTraceHeader, "mem 0xc0000 8192"}));
        EXPECT_EQ(SavedRegister(profile, kCore), 0x6207u);
    }
}

TEST(CommandLine, InfoPrintsTheCardAndWritesNothing) {
    TempDir dir;
    const auto profile = WriteProfile(dir.path(), {});
    const auto trace = dir / "run.trace";

    const ProgramResult run =
        RunRuvuvuri({"--sim=" + profile.string(), "--trace=" + trace.string(), "--info", "c=150"});

    EXPECT_EQ(run.exit_code, 0) << run.err;
    for (const char* shown : {"0x0150", "3.11.01.05", "14318 kHz", "200.452 MHz", "0x00006207",
                              "166.088 MHz", "0x0000740A", "0x22322222", "0x00000A0A"}) {
        EXPECT_THAT(run.out, HasSubstr(shown));
    }
    const auto lines = SplitLines(ReadFile(trace));
    EXPECT_GT(lines.size(), 2u);
    EXPECT_THAT(DecodeRegisterWrites(lines), IsEmpty());
    EXPECT_EQ(SavedRegister(profile, kCore), 0x6207u);
}

TEST(CommandLine, BadProfilesAreRefusedAndLeftAsTheyWere) {
    struct Case {
        const char* name;
        std::string text;
        const char* problem;
    } cases[] = {
        {"not JSON", "{ \"registers\": ", "JSON"},
        {"wrong type", "{ \"misc_output\": true }", "misc_output"},
        {"missing BIOS", "{ \"bios\": \"nowhere.rom\" }", "nowhere.rom"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto profile = dir / "card.json";
        WriteFile(profile, c.text);

        const ProgramResult run = RunRuvuvuri({"--sim=" + profile.string(), "m=183"});

        EXPECT_EQ(run.exit_code, 255);
        EXPECT_THAT(run.err, HasSubstr("card.json"));
        EXPECT_THAT(run.err, HasSubstr(c.problem));
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(ReadFile(profile), c.text);
    }
    const ProgramResult missing = RunRuvuvuri({"--sim=/nonexistent/card.json"});
    EXPECT_EQ(missing.exit_code, 255);
    EXPECT_THAT(missing.err, HasSubstr("/nonexistent/card.json"));
}

// An unset variable in `--sim=$PROFILE` must not program the real card.
TEST(CommandLine, AnEmptySimulatorProfileEndsTheRunBeforeAnyHardware) {
    TempDir dir;
    const auto trace = dir / "run.trace";
    const ProgramResult run = RunRuvuvuri({"--sim=", "--trace=" + trace.string(), "m=183"});
    EXPECT_EQ(run.exit_code, 255);
    EXPECT_THAT(run.err, HasSubstr("ruvuvuri: --sim= needs a profile file name"));
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_FALSE(std::filesystem::exists(trace));
}

TEST(CommandLine, RealHardwareWithoutPortAccessSaysWhyAndWhatToDo) {
    const ProgramResult run = RunRuvuvuri({"m=183"});
    EXPECT_EQ(run.exit_code, 255);
    EXPECT_THAT(run.err, HasSubstr("ruvuvuri: cannot access the VGA I/O ports"));
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

// The command-line path never loads the panel toolkit, even with a display.
TEST(CommandLine, DoesNotLoadQt) {
    const ProgramResult run =
        RunProgram(std::string(RUVUVURI_BINARY_DIR) + "/ruvuvuri", {"--sim", "m=183"}, "",
                   {{"LD_DEBUG", "files"}, {"DISPLAY", ":99"}});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_THAT(run.err, HasSubstr("calling init"));  // the loader did report
    EXPECT_THAT(run.err, Not(HasSubstr("libQt")));
    EXPECT_THAT(run.err, Not(HasSubstr("ruvuvuri_qt")));
}

TEST(CommandLine, HelpVersionAndUnknownOptions) {
    const ProgramResult version = RunRuvuvuri({"--version"});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_THAT(version.out, StartsWith("ruvuvuri 1.0.2.0\n"));
    EXPECT_THAT(version.out, HasSubstr("GNU GPL version 2 or later"));

    const ProgramResult help = RunRuvuvuri({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    for (const char* option :
         {"c=", "m=", "t0=", "--sim", "--trace", "--info", "--ui", "apply", "man ruvuvuri"}) {
        EXPECT_THAT(help.out, HasSubstr(option));
    }

    const ProgramResult unknown = RunRuvuvuri({"--sim", "--frobnicate", "m=183"});
    EXPECT_EQ(unknown.exit_code, 0);
    EXPECT_THAT(unknown.err, HasSubstr("--frobnicate"));
}

}  // namespace
}  // namespace ruvuvuri::test
