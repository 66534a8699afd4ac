// SPDX-License-Identifier: GPL-2.0-or-later
// The program with the console panel, driven through stdin as a script would:
// edits, apply, the answer, exit; what the card holds afterwards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "build_config.h"
#include "support/profiles.h"
#include "support/run_program.h"

namespace ruvuvuri::test {
namespace {

using ::testing::HasSubstr;

constexpr std::uint32_t kCore = 0x680500, kMem = 0x680504, kTiming0 = 0x100220, kTiming2 = 0x100228;

struct Session {
    const char* name;
    std::string input;
    std::uint32_t core, mem, timing0, timing2;
    const char* shown;  // text the panel shows at the end
};

const Session kSessions[] = {
    {"apply confirmed", "core 175\nmem 183\nt0 0x12345678\nt2 FFFFFFFF\napply\ny\nexit\n",
     0x00006e09, 0x00007309, 0x12345678, 0xffffffff, "174.997 MHz"},
    {"apply refused", "core 175\nt0 12345678\napply\nn\nexit\n", 0x00006207, 0x0000740a, 0x22322222,
     0x05050505, "200.452 MHz"},
    {"end of input confirms nothing", "core 175\napply\n", 0x00006207, 0x0000740a, 0x22322222,
     0x05050505, "200.452 MHz"},
    {"values out of the limits are refused", "core 400.5\nmem 79\nt0 100000000\napply\nyes\n",
     0x00006207, 0x0000740a, 0x22322222, 0x05050505, "200.452 MHz"},
    {"end of input exits", "", 0x00006207, 0x0000740a, 0x22322222, 0x05050505, "200.452 MHz"},
};

TEST(ConsolePanel, ScriptedSessionsLeaveTheExpectedCard) {
    for (const Session& s : kSessions) {
        SCOPED_TRACE(s.name);
        TempDir dir;
        const auto profile = WriteProfile(dir.path(), {});

        const ProgramResult run = RunRuvuvuri({"--sim=" + profile.string()}, s.input);

        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(SavedRegister(profile, kCore), s.core);
        EXPECT_EQ(SavedRegister(profile, kMem), s.mem);
        EXPECT_EQ(SavedRegister(profile, kTiming0), s.timing0);
        EXPECT_EQ(SavedRegister(profile, kTiming2), s.timing2);
        const auto last_panel = run.out.rfind("== Ruvuvuri ==");
        ASSERT_NE(last_panel, std::string::npos) << run.out;
        EXPECT_THAT(run.out.substr(last_panel), HasSubstr(s.shown));
    }
}

TEST(ConsolePanel, TheQuestionGoesToStderr) {
    const ProgramResult run = RunRuvuvuri({"--sim"}, "apply\nn\n");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_THAT(run.err, HasSubstr("Ruvuvuri: Core,Memory clocks and Timings will be changed "
                                   "now!\nAre You shure?"));
}

// A memory PLL at 62.999 MHz, below the panel's limits: the panel shows it as
// it is, and Apply with the field untouched programs that clock again.
TEST(ConsolePanel, AnUntouchedClockOutsideTheLimitsIsKept) {
    TempDir dir;
    ProfileCard card;
    card.registers[kMem] = 0x0002b00a;
    const auto profile = WriteProfile(dir.path(), card);

    const ProgramResult run = RunRuvuvuri({"--sim=" + profile.string()}, "apply\ny\n");

    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("62.999 MHz"));
    EXPECT_EQ(SavedRegister(profile, kMem), 0x0002b00au);
}

// Without its panel file the program ends with 255 and one line saying why.
TEST(ConsolePanel, AMissingPanelFileEndsTheRunWith255) {
    TempDir dir;
    const auto program = dir / "ruvuvuri";
    std::filesystem::copy_file(std::string(RUVUVURI_BINARY_DIR) + "/ruvuvuri", program);
    if (std::filesystem::exists(dir.path() / RUVUVURI_DATA_DIR_FROM_BIN / "Ruvuvuri.ui")) {
        GTEST_SKIP() << "an installed panel file would be found";
    }
    const auto profile = WriteProfile(dir.path(), {});

    const ProgramResult run = RunProgram(program.string(), {"--sim=" + profile.string()}, "",
                                         {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}});

    EXPECT_EQ(run.exit_code, 255);
    EXPECT_THAT(run.err, HasSubstr("ruvuvuri: cannot open the panel file"));
    EXPECT_THAT(run.err, HasSubstr("Ruvuvuri.ui"));
    EXPECT_THAT(run.err, HasSubstr("reinstall"));
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.out, "");
}

}  // namespace
}  // namespace ruvuvuri::test
