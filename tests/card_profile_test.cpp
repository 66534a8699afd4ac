// SPDX-License-Identifier: GPL-2.0-or-later
// The simulator profile: its JSON format, the refusal of malformed files, the
// lock a run holds and the save that replaces the file in one step.

#include "hw/backends/profile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/profiles.h"
#include "support/run_program.h"
#include "support/terminal_run.h"

namespace {

namespace fs = std::filesystem;
using ruvuvuri::hw::CardState;
using ruvuvuri::hw::FormatProfile;
using ruvuvuri::hw::ParseProfile;
using ruvuvuri::hw::ProfileError;
using ruvuvuri::hw::ProfileFile;

constexpr uid_t kNobody = 65534;

class TempDir {
  public:
    TempDir() {
        std::string name = (fs::temp_directory_path() / "ruvuvuri-profile-XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = name;
    }
    ~TempDir() {
        ::chmod(path_.c_str(), 0700);
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// What a run on a simulated card loads.
CardState Load(const ProfileFile& file) {
    return ParseProfile(file.text(), file.path().parent_path(), file.path().string());
}
CardState Load(const fs::path& path) {
    return Load(ProfileFile(path));
}

void ExpectSameState(const CardState& got, const CardState& want) {
    EXPECT_EQ(got.description, want.description);
    EXPECT_EQ(got.bios_path, want.bios_path);
    EXPECT_EQ(got.bios, want.bios);
    EXPECT_EQ(got.misc_output, want.misc_output);
    EXPECT_EQ(got.crtc_index, want.crtc_index);
    EXPECT_EQ(got.extended_unlocked, want.extended_unlocked);
    EXPECT_EQ(got.crtc, want.crtc);
    EXPECT_EQ(got.window_address, want.window_address);
    EXPECT_EQ(got.window_latch, want.window_latch);
    EXPECT_EQ(got.registers, want.registers);
    EXPECT_EQ(got.faults, want.faults);
}

CardState EveryFieldSet() {
    CardState state;
    state.description = "GeForce2 MX, 64 MB";
    state.bios_path = "card.rom";
    state.bios = {0x55, 0xAA, 0x10, 0x00, 0xFF};
    state.misc_output = 0x66;
    state.crtc_index = 0x38;
    state.extended_unlocked = true;
    state.crtc = {{0x11, 0x80}, {0x1F, 0x03}, {0x38, 0x05}};
    state.window_address = 0x680504;
    state.window_latch = 0x8001;
    state.registers = {
        {0x000000, 0x1}, {0x101000, 0x40}, {0x680500, 0x6207}, {0xFFFFFFFC, 0xFFFFFFFF}};
    state.faults = {"core PLL 0x680500 written outside the interrupt bracket (0x00006207)",
                    "second \"quoted\" fault"};
    return state;
}

TEST(Profile, RoundTripKeepsEveryField) {
    TempDir dir;
    const CardState state = EveryFieldSet();
    WriteFile(dir.path() / "card.rom", std::string(state.bios.begin(), state.bios.end()));
    const std::string text = FormatProfile(state);
    ExpectSameState(ParseProfile(text, dir.path(), "card.json"), state);

    // The written form is the documented one: lowercase hex strings.
    for (const char* piece :
         {"\"misc_output\": \"0x66\"", "\"crtc_index\": \"0x38\"", "\"0x38\": \"0x05\"",
          "\"window_address\": \"0x00680504\"", "\"window_latch\": \"0x8001\"",
          "\"0x680500\": \"0x00006207\"", "\"0x000000\": \"0x00000001\"", "\"bios\": \"card.rom\"",
          "\"extended_unlocked\": true"}) {
        EXPECT_NE(text.find(piece), std::string::npos) << piece << " in\n" << text;
    }
}

TEST(Profile, EmptyObjectGivesTheDefaults) {
    const CardState state = ParseProfile("{}", ".", "card.json");
    ExpectSameState(state, CardState{});
}

TEST(Profile, NumbersMayBeJsonNumbersHexOrDecimalStrings) {
    for (const char* spelling : {"\"0x67\"", "\"0X67\"", "\"103\"", "103", "\"0x0067\""}) {
        const std::string text = std::string("{\"misc_output\": ") + spelling +
                                 ", \"registers\": {\"6817024\": " + spelling + "}}";
        const CardState state = ParseProfile(text, ".", "card.json");
        EXPECT_EQ(state.misc_output, 0x67) << spelling;
        EXPECT_EQ(state.registers.at(0x680500), 0x67u) << spelling;
    }
}

// Only the 8 KB that the card check reads are loaded, whatever the file holds.
TEST(Profile, BiosIsReadRelativeToTheProfileFolderUpTo8K) {
    TempDir dir;
    fs::create_directory(dir.path() / "roms");
    const std::string image(20000, '\x5a');
    WriteFile(dir.path() / "roms" / "big.rom", image);
    const CardState state = ParseProfile("{\"bios\": \"roms/big.rom\"}", dir.path(), "card.json");
    EXPECT_EQ(state.bios, std::vector<std::uint8_t>(8192, 0x5a));
    EXPECT_EQ(state.bios_path, "roms/big.rom");
}

// A sparse 64 GB file costs no disk, and once cost an abort on allocation.
TEST(Profile, BiosLargerThanAnyRomIsRefused) {
    TempDir dir;
    const fs::path rom = dir.path() / "huge.rom";
    WriteFile(rom, "");
    ASSERT_EQ(::truncate(rom.c_str(), 64ll << 30), 0);
    try {
        ParseProfile("{\"bios\": \"huge.rom\"}", dir.path(), "card.json");
        FAIL() << "accepted a 64 GB BIOS image";
    } catch (const ProfileError& error) {
        EXPECT_NE(std::string(error.what())
                      .find("68719476736 bytes long, over the limit of "
                            "16777216"),
                  std::string::npos)
            << error.what();
    }
}

// --- Malformed profiles -----------------------------------------------------

struct BadCase {
    const char* name;
    std::string_view text;
    const char* field;    // quoted in the message
    const char* problem;  // also in the message
};

void PrintTo(const BadCase& c, std::ostream* out) {
    *out << c.name;
}

class MalformedProfile : public ::testing::TestWithParam<BadCase> {};

TEST_P(MalformedProfile, IsRefusedNamingFileAndFieldAndLeftUntouched) {
    const BadCase& c = GetParam();
    TempDir dir;
    const fs::path path = dir.path() / "card.json";
    WriteFile(path, std::string(c.text));
    const auto before = FolderEntries(dir.path());
    try {
        Load(path);
        FAIL() << "accepted: " << c.text;
    } catch (const ProfileError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find(path.string()), std::string::npos) << message;
        if (c.field != nullptr) {
            EXPECT_NE(message.find(std::string("field \"") + c.field + "\""), std::string::npos)
                << message;
        }
        EXPECT_NE(message.find(c.problem), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        EXPECT_EQ(message.find('\x1b'), std::string::npos) << message;
    }
    EXPECT_EQ(ReadFile(path), c.text);
    EXPECT_EQ(FolderEntries(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedProfile,
    ::testing::Values(
        BadCase{"NotJson", "{\"misc_output\": \"0x67\",\n", nullptr, "not valid JSON"},
        BadCase{"NotJsonPosition", "{\n  \"crtc\": {,}\n}", nullptr, "line 2"},
        BadCase{"TopLevelArray", "[1, 2]", nullptr, "got an array"},
        BadCase{"BoolForNumber", "{\"registers\": {\"0x680500\": true}}", "registers.0x680500",
                "expected a number (JSON number or \"0x…\" string), got true"},
        BadCase{"GarbageNumber", "{\"misc_output\": \"0x6z\"}", "misc_output", "got \"0x6z\""},
        BadCase{"Negative", "{\"crtc_index\": -1}", "crtc_index", "negative"},
        BadCase{"Fraction", "{\"crtc_index\": 1.5}", "crtc_index", "not a whole number"},
        BadCase{"ByteTooBig", "{\"misc_output\": \"0x100\"}", "misc_output", "out of range"},
        BadCase{"LatchTooBig", "{\"window_latch\": 65536}", "window_latch", "out of range"},
        BadCase{"AddressTooBig", "{\"window_address\": \"0x100000000\"}", "window_address",
                "out of range"},
        BadCase{"RegisterTooBig", "{\"registers\": {\"0x680500\": \"4294967296\"}}",
                "registers.0x680500", "out of range"},
        BadCase{"CrtcKeyTooBig", "{\"crtc\": {\"0x100\": \"0x00\"}}", "crtc.0x100", "out of range"},
        BadCase{"CrtcValueTooBig", "{\"crtc\": {\"0x38\": 256}}", "crtc.0x38", "out of range"},
        BadCase{"KeyNotANumber", "{\"registers\": {\"core\": 1}}", "registers.core",
                "not a number"},
        BadCase{"DuplicateKey", "{\"crtc\": {\"0x38\": 1, \"56\": 2}}", "crtc.56", "same entry"},
        BadCase{"RegistersNotObject", "{\"registers\": [1]}", "registers", "got an array"},
        BadCase{"UnlockedNotBool", "{\"extended_unlocked\": \"yes\"}", "extended_unlocked",
                "expected true or false"},
        BadCase{"DescriptionNotString", "{\"description\": 5}", "description", "expected a string"},
        BadCase{"FaultNotString", "{\"faults\": [\"ok\", 1]}", "faults[1]", "expected a string"},
        BadCase{"MissingBios", "{\"bios\": \"missing.rom\"}", "bios", "missing.rom"},
        BadCase{"UnknownField", "{\"regsiters\": {}}", "regsiters",
                "is not a profile field; the fields are description, bios"},
        BadCase{"RepeatedField", "{\"misc_output\": 1, \"misc_output\": 2}", "misc_output",
                "appears twice"},
        BadCase{"RepeatedRegister", "{\"registers\": {\"0x680500\": 1, \"0x680500\": 2}}",
                "registers.0x680500", "appears twice"},
        BadCase{"TextAfterValue", "{} {\"misc_output\": 1}", nullptr, "expected end of input"},
        BadCase{"TextAfterNul", std::string_view("{}\0{\"misc_output\": 1}", 21), nullptr,
                "NUL character"},
        BadCase{"EscapeSequenceInBiosPath", "{\"bios\": \"a\\u001b[2Jb.rom\"}", "bios",
                "/a\\x1b[2Jb.rom\" ("},
        BadCase{"EscapeSequenceInKey", "{\"\\u001b]0;title\\u0007\": 1}", "\\x1b]0;title\\x07",
                "not a profile field"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return info.param.name; });

TEST(ProfileFile, MissingProfileIsRefusedNamingTheFile) {
    TempDir dir;
    const fs::path path = dir.path() / "absent.json";
    try {
        ProfileFile file(path);
        FAIL() << "accepted a missing file";
    } catch (const ProfileError& error) {
        EXPECT_NE(std::string(error.what()).find(path.string()), std::string::npos);
    }
    EXPECT_TRUE(FolderEntries(dir.path()).empty());
}

// A FIFO named by mistake, as the profile or as its BIOS image, is refused at
// once instead of waiting forever for a writer.
TEST(ProfileFile, FifosAreRefusedWithoutWaiting) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir.path() / "pipe").c_str(), 0600), 0);
    WriteFile(dir.path() / "card.json", R"({"bios": "pipe"})");
    for (const char* name : {"pipe", "card.json"}) {
        SCOPED_TRACE(name);
        try {
            Load(dir.path() / name);
            FAIL() << "accepted a FIFO";
        } catch (const ProfileError& error) {
            EXPECT_NE(std::string(error.what()).find("not a regular file"), std::string::npos)
                << error.what();
        }
    }
}

// A second run on a profile in use is refused at once, in the program too.
TEST(ProfileFile, ASecondRunIsRefusedAtOnce) {
    TempDir dir;
    const fs::path path = dir.path() / "card.json";
    WriteFile(path, "{}");
    const ProfileFile held(path);
    try {
        ProfileFile second(path);
        FAIL() << "a second hold on the profile";
    } catch (const ProfileError& error) {
        EXPECT_NE(std::string(error.what()).find("is in use by another run"), std::string::npos)
            << error.what();
    }
    const auto run = ruvuvuri::test::RunRuvuvuri({"--sim=" + path.string(), "--info"});
    EXPECT_EQ(run.exit_code, 255);
    EXPECT_EQ(run.err, "ruvuvuri: simulator profile " + path.string() +
                           " is in use by another run; try again when it has ended\n");
}

// --- Saving -----------------------------------------------------------------

TEST(ProfileFile, SaveReplacesTheProfileAndKeepsBiosAndDescription) {
    TempDir dir;
    const fs::path path = dir.path() / "card.json";
    WriteFile(dir.path() / "card.rom", "\x55\xaa");
    WriteFile(path, "{\"description\": \"mine\", \"bios\": \"card.rom\", \"misc_output\": 103}");
    ::chmod(path.c_str(), 0640);
    {
        ProfileFile file(path);
        CardState state = Load(file);
        state.registers[0x680500] = 0x6207;
        state.faults.push_back("a fault");
        file.Save(FormatProfile(state));
    }
    const CardState again = Load(path);
    EXPECT_EQ(again.description, "mine");
    EXPECT_EQ(again.bios_path, "card.rom");
    EXPECT_EQ(again.bios, (std::vector<std::uint8_t>{0x55, 0xAA}));
    EXPECT_EQ(again.registers.at(0x680500), 0x6207u);
    EXPECT_EQ(again.faults, std::vector<std::string>{"a fault"});
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"card.json", "card.rom"}));
}

// A save killed before its rename leaves its temporary file behind; the next
// save of that profile removes it. What has that name is never written through:
// a link planted there leaves its target as it was.
TEST(ProfileFile, SaveClearsWhatAnUnfinishedSaveLeft) {
    for (const bool planted_link : {false, true}) {
        SCOPED_TRACE(planted_link ? "link" : "stale file");
        TempDir dir;
        const fs::path path = dir.path() / "card.json";
        const fs::path leftover = dir.path() / ".card.json.saving";
        const fs::path victim = dir.path() / "victim";
        WriteFile(path, "{}");
        WriteFile(victim, "keep");
        if (planted_link) {
            fs::create_symlink(victim, leftover);
        } else {
            WriteFile(leftover, "{\"misc_output\": \"0x");
        }
        {
            ProfileFile file(path);
            CardState state = Load(file);
            state.misc_output = 0x42;
            file.Save(FormatProfile(state));
        }
        EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"card.json", "victim"}));
        EXPECT_EQ(ReadFile(victim), "keep");
        EXPECT_EQ(Load(path).misc_output, 0x42);
    }
}

// Killed after it has reprogrammed the card (while it asks whether to keep
// the change), a run leaves the profile as it was.
TEST(ProfileFile, AKilledRunLeavesTheProfileAsItWas) {
    TempDir dir;
    const fs::path path = ruvuvuri::test::WriteProfile(dir.path(), {});
    const std::string before = ReadFile(path);
    const auto run = ruvuvuri::test::RunRuvuvuriOnTerminal(
        {"--sim=" + path.string(), "--revert-after=60", "c=150"}, "",
        {.answer = "", .signal = SIGKILL});
    EXPECT_TRUE(run.asked);
    EXPECT_EQ(run.result.exit_code, 128 + SIGKILL);
    EXPECT_EQ(ReadFile(path), before);
}

// Permissions do not stop root, so the check runs in a child that gives root up.
TEST(ProfileFile, UnwritableFolderIsRefusedAndTheProfileKept) {
    TempDir dir;
    const fs::path path = dir.path() / "card.json";
    const std::string text = "{\"registers\": {\"0x680500\": \"0x00006207\"}}";
    WriteFile(path, text);
    const bool root = ::geteuid() == 0;
    if (root && (::chown(dir.path().c_str(), kNobody, kNobody) != 0 ||
                 ::chown(path.c_str(), kNobody, kNobody) != 0)) {
        GTEST_SKIP() << "cannot hand the folder to an unprivileged user";
    }
    int messages[2];
    ASSERT_EQ(::pipe(messages), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(messages[0]);
        if (root && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(77);
        }
        auto report = [&](const std::string& line) {
            const std::string out = line + "\n";
            if (::write(messages[1], out.data(), out.size()) < 0) {
                ::_exit(3);
            }
        };
        int failures = 0;
        // Refused at the start, before a run could reprogram the card.
        ::chmod(dir.path().c_str(), 0555);
        try {
            ProfileFile file(path);
            failures |= 1;
        } catch (const ProfileError& error) {
            report(error.what());
        }
        // The folder becomes unwritable during the run: the save is refused.
        ::chmod(dir.path().c_str(), 0755);
        try {
            ProfileFile file(path);
            ::chmod(dir.path().c_str(), 0555);
            CardState state = Load(file);
            state.registers[0x680500] = 0x1111;
            file.Save(FormatProfile(state));
            failures |= 2;
        } catch (const ProfileError& error) {
            report(error.what());
        }
        ::_exit(failures);
    }
    ::close(messages[1]);
    std::string output;
    char buffer[512];
    for (ssize_t got; (got = ::read(messages[0], buffer, sizeof buffer)) > 0;) {
        output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(messages[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) {
        GTEST_SKIP() << "cannot drop root privileges here";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: opened, 2: saved; messages:\n" << output;
    std::istringstream lines(output);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        EXPECT_NE(line.find(path.string()), std::string::npos) << line;
        EXPECT_NE(line.find("make the folder writable"), std::string::npos) << line;
    }
    EXPECT_EQ(count, 2) << output;
    EXPECT_EQ(ReadFile(path), text);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"card.json"});
}

}  // namespace
