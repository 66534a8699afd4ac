// SPDX-License-Identifier: GPL-2.0-or-later
// A --sim=FILE that does not exist yet: created whole from the built-in card,
// never over or through anything that is already there.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/sim_backends.h"
#include "hw/backends/profile.h"
#include "support/run_program.h"

namespace ruvuvuri::test {
namespace {

namespace fs = std::filesystem;
using app::SeedProfileIfMissing;

TEST(ProfileSeed, ANewProfileHoldsTheBuiltInCardAndItsBiosImage) {
    TempDir dir;
    ASSERT_TRUE(SeedProfileIfMissing(dir / "card.json").has_value());

    const hw::CardState builtin = app::BuiltinGeForce2Gts();
    const hw::CardState loaded =
        hw::ParseProfile(ReadFile(dir / "card.json"), dir.path(), "card.json");
    EXPECT_EQ(loaded.bios, builtin.bios);
    EXPECT_EQ(loaded.bios_path, "card.rom");
    EXPECT_EQ(loaded.registers, builtin.registers);
    EXPECT_TRUE(loaded.faults.empty());

    // Once there, the profile is the user's: a second run leaves it alone.
    const std::string before = ReadFile(dir / "card.json");
    EXPECT_FALSE(SeedProfileIfMissing(dir / "card.json").has_value());
    EXPECT_EQ(ReadFile(dir / "card.json"), before);
}

TEST(ProfileSeed, NothingThereIsReplacedOrFollowed) {
    struct Case {
        const char* what;
        void (*prepare)(const fs::path& dir);
        bool throws;
    };
    const Case cases[] = {
        {"a BIOS image of that name exists",
         [](const fs::path& dir) { WriteFile(dir / "card.rom", "mine"); }, true},
        {"a dangling link names the profile",
         [](const fs::path& dir) { fs::create_symlink(dir / "elsewhere.json", dir / "card.json"); },
         false},
        {"a dangling link names the BIOS image",
         [](const fs::path& dir) { fs::create_symlink(dir / "elsewhere.rom", dir / "card.rom"); },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        c.prepare(dir.path());
        if (c.throws) {
            EXPECT_THROW(SeedProfileIfMissing(dir / "card.json"), hw::ProfileError);
        } else {
            EXPECT_FALSE(SeedProfileIfMissing(dir / "card.json").has_value());
        }
        EXPECT_FALSE(fs::exists(dir / "elsewhere.json"));
        EXPECT_FALSE(fs::exists(dir / "elsewhere.rom"));
        if (fs::is_regular_file(dir / "card.rom")) {
            EXPECT_EQ(ReadFile(dir / "card.rom"), "mine");
        }
        EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(dir / "card.json")));
        // No temporary file is left behind.
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
        }
    }
}

TEST(ProfileSeed, AMissingFolderIsRefusedWithTheRemedy) {
    TempDir dir;
    try {
        SeedProfileIfMissing(dir / "no-such-folder" / "card.json");
        FAIL() << "no error";
    } catch (const hw::ProfileError& error) {
        EXPECT_NE(std::string(error.what()).find("existing, writable folder"), std::string::npos)
            << error.what();
    }
}

// What it says quotes the path with its control characters made visible.
TEST(ProfileSeed, TheProgramSaysWhatItCreated) {
    for (const std::string name : {"card.json",
                                   "\x1b]2;x\x07"
                                   "card.json"}) {
        TempDir dir;
        const ProgramResult run = RunRuvuvuri({"--sim=" + (dir / name).string(), "m=183"});
        EXPECT_EQ(run.exit_code, 0);
        EXPECT_NE(run.err.find("created the simulator profile"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
        EXPECT_NE(ReadFile(dir / name).find("\"0x680504\""), std::string::npos);
    }
}

}  // namespace
}  // namespace ruvuvuri::test
