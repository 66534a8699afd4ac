// SPDX-License-Identifier: GPL-2.0-or-later
// The Windows platform pieces under wine: backend selection and refusals, the
// program's exit status and message on a refusal, and the profile's lock and
// save with Windows' own file functions.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "app/platform.h"
#include "base/win_error_text.h"
#include "hw/backends/profile.h"
#include "hw/backends/win_ports.h"
#include "support/profiles.h"
#include "support/run_program.h"

namespace ruvuvuri::hw {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using ::testing::AnyOf;
using ::testing::HasSubstr;

template <typename Open>
std::string RefusalOf(Open open) {
    try {
        open();
    } catch (const PlatformError& error) {
        return error.what();
    }
    return "(opened)";
}

// The table picks the NT family's record under wine64, which refuses 64-bit
// Windows before any port access.
TEST(WindowsBackends, SixtyFourBitWindowsIsRefusedBeforeAnyPortAccess) {
    const BackendRecord& record = app::ChooseBackend(app::Backend::Hardware);
    EXPECT_STREQ(record.name, "windows-nt");
    EXPECT_TRUE(record.needs_root);
    EXPECT_THAT(RefusalOf([&] { return record.open({}); }), HasSubstr("64-bit Windows"));
}

// Wine grants neither \Device\PhysicalMemory nor the I/O privilege level: the
// NT backend must say so, not crash on a port instruction.
TEST(WindowsBackends, NtBackendRefusesCleanlyWhereTheKernelGrantsNothing) {
    EXPECT_THAT(RefusalOf(OpenWinNtIo),
                AnyOf(HasSubstr("administrator rights"), HasSubstr("Tcb privilege"),
                      HasSubstr("does not let programs read the video BIOS"),
                      HasSubstr("does not grant programs access to the VGA ports")));
}

// Only the first megabyte is mapped one to one on the 95 family.
TEST(WindowsBackends, NinetyFiveFamilyBiosReadStaysWithinTheFirstMegabyte) {
    const auto backend = kWin95PortsBackend.open({});
    for (const std::uint32_t address : {0xFF000u, 0x100000u, 0xFFFFF000u}) {
        std::uint8_t buffer[8192];
        std::fill(std::begin(buffer), std::end(buffer), 0x5A);
        backend->io().ReadFromPhysicalMemory(address, buffer);
        EXPECT_EQ(buffer[0], 0x5A) << std::hex << address;
    }
}

// A second run waits its bounded time for the card, then refuses; the first
// run's end frees the card.
TEST(WindowsBackends, CardIsRefusedToASecondRunUntilTheFirstEnds) {
    auto first = kWin95PortsBackend.open({});
    const auto second_run = [] {
        std::string refusal;
        std::thread([&] {
            refusal = RefusalOf([] { return kWin95PortsBackend.open({}); });
        }).join();
        return refusal;
    };
    EXPECT_EQ(second_run(),
              "another ruvuvuri run is using the card; try again when it has finished");
    first.reset();
    EXPECT_EQ(second_run(), "(opened)");
}

// The system's text on one line without its full stop, then the number; the
// number alone where the system has no text.
TEST(WindowsErrorText, SystemTextOnOneLineThenTheNumber) {
    const std::string denied = base::WinErrorText(ERROR_ACCESS_DENIED);
    EXPECT_THAT(denied, ::testing::EndsWith(" (error 5)"));
    EXPECT_GT(denied.size(), std::string(" (error 5)").size());
    EXPECT_EQ(denied.find_first_of("\r\n"), std::string::npos) << denied;
    EXPECT_THAT(denied, ::testing::Not(HasSubstr(". (")));
    EXPECT_EQ(base::WinErrorText(0xDEADBEEF), "error 3735928559");
}

TEST(WindowsProgram, RefusalEndsWithMinusOneAndOneLineThatSaysWhy) {
    const test::ProgramResult run = test::RunRuvuvuri({"c=200"});
    EXPECT_EQ(run.exit_code, 255);
    EXPECT_THAT(run.err, HasSubstr("ruvuvuri: this is 64-bit Windows"));
    EXPECT_EQ(run.out, "");
}

// No terminal to ask on: refused as a usage error before the card is touched.
TEST(WindowsProgram, RevertAfterIsRefusedWithExitTwo) {
    const test::ProgramResult run = test::RunRuvuvuri({"--sim", "--revert-after=10", "c=200"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_THAT(run.err, HasSubstr("--revert-after is not available on Windows"));
    EXPECT_EQ(run.out, "");
}

TEST(WindowsProgram, InfoOnTheSimulatedCardGoesToTheRedirectedOutput) {
    const test::ProgramResult run = test::RunRuvuvuri({"--sim", "--info"});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_THAT(run.out, HasSubstr("200.452 MHz (PLL 0x00006207)"));
}

// A second run on a profile in use is refused at once.
TEST(WindowsProfile, AHeldProfileIsRefusedToASecondRun) {
    TempDir dir;
    const auto profile = test::WriteProfile(dir.path(), {});
    const ProfileFile held(profile);
    EXPECT_THAT(RefusalOf([&] { ProfileFile second(profile); }),
                HasSubstr("is in use by another run"));
}

TEST(WindowsProfile, SaveReplacesTheProfileAndLeavesNoCopy) {
    TempDir dir;
    const auto profile = test::WriteProfile(dir.path(), {});
    {
        ProfileFile file(profile);
        CardState state = ParseProfile(file.text(), dir.path(), "card.json");
        state.registers[0x680500] = 0x00007410;
        file.Save(FormatProfile(state));
    }
    EXPECT_EQ(test::SavedRegister(profile, 0x680500), 0x00007410u);
    EXPECT_FALSE(std::filesystem::exists(profile.string() + ".new"));
}

// A save cut short between removing the profile and moving its copy in (the
// 95 family) leaves the state in the copy: no new profile is made over it, and
// the run says what to do.
TEST(WindowsProfile, AProfileLeftInItsCopyIsNeitherReplacedNorLost) {
    TempDir dir;
    const auto profile = test::WriteProfile(dir.path(), {});
    const std::string copy = profile.string() + ".new";
    ASSERT_TRUE(MoveFileA(profile.string().c_str(), copy.c_str()));
    EXPECT_FALSE(NothingAt(profile));
    const test::ProgramResult run = test::RunRuvuvuri({"--sim=" + profile.string(), "--info"});
    EXPECT_EQ(run.exit_code, 255);
    EXPECT_THAT(run.err, HasSubstr("holds its last state (a save was cut short); rename"));
    EXPECT_TRUE(std::filesystem::exists(copy));
}

std::optional<std::string> RunValue() {
    char data[2048] = {};
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                     "Ruvuvuri", RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(data);
}

// One value under the machine's Run key: the program's full path, --at-boot
// and the settings; removed again.
TEST(WindowsStartEntry, InstallWritesTheRunValueAndRemoveTakesItAway) {
    ASSERT_EQ(
        test::RunRuvuvuri({"--install-at-start", "--crystal=27000", "c=200", "t0=0x1"}).exit_code,
        0);
    const std::optional<std::string> written = RunValue();
    ASSERT_TRUE(written.has_value());
    EXPECT_THAT(*written, ::testing::MatchesRegex("\".:\\\\.*ruvuvuri\\.exe\" --at-boot "
                                                  "\"--crystal=27000\" \"c=200\" \"t0=0x1\""));
    EXPECT_EQ(test::RunRuvuvuri({"--remove-at-start"}).exit_code, 0);
    EXPECT_FALSE(RunValue().has_value());
    EXPECT_EQ(test::RunRuvuvuri({"--remove-at-start"}).exit_code, 0);  // nothing left to remove
}

// The guard's life at a start: set before the apply, still there while the
// session runs (a start in that state writes nothing and ends with 4), and
// cleared by the end-of-session message a clean shutdown sends.
TEST(WindowsStartEntry, TheGuardLastsFromTheApplyToTheEndOfTheSession) {
    TempDir dir;
    const auto profile = test::WriteProfile(dir.path(), {});
    const std::string guard = profile.string() + ".boot-guard";
    std::string command =
        "\"" RUVUVURI_BINARY_DIR "/ruvuvuri.exe\" --at-boot \"--sim=" + profile.string() +
        "\" c=180";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    HWND session = nullptr;
    for (int tries = 0; tries < 500 && session == nullptr; ++tries) {
        Sleep(20);
        session = FindWindowA("RuvuvuriSession", nullptr);
    }
    ASSERT_NE(session, nullptr);
    EXPECT_FALSE(ReadFile(guard).empty());
    EXPECT_NE(test::SavedRegister(profile, 0x680500), 0x00006207u);

    const test::ProgramResult guarded =
        test::RunRuvuvuri({"--at-boot", "--sim=" + profile.string(), "c=250"});
    EXPECT_EQ(guarded.exit_code, 4);
    EXPECT_THAT(guarded.err, HasSubstr("--at-shutdown"));

    SendMessageA(session, WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(ReadFile(guard), "");
}

}  // namespace
}  // namespace ruvuvuri::hw
