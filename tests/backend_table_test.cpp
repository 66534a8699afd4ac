// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace ruvuvuri::app {
namespace {

// Only the real card is opened as root: a simulated card's record opens the
// profile a user named, which must happen with the user's rights.
TEST(BackendTable, OnlyTheRealCardIsOpenedAsRoot) {
    struct Case {
        Backend choice;
        std::string name;
        bool needs_root;
    };
    for (const Case& c :
         {Case{Backend::Hardware, "linux", true}, Case{Backend::BuiltInSim, "sim", false},
          Case{Backend::ProfileSim, "sim-profile", false}}) {
        const hw::BackendRecord& record = ChooseBackend(c.choice);
        EXPECT_EQ(record.name, c.name);
        EXPECT_EQ(record.needs_root, c.needs_root) << c.name;
        EXPECT_FALSE(std::string(record.help).empty()) << c.name;
    }
}

TEST(BackendTable, TheBuiltInCardOpensWithoutAnyFileAndReadsItsBios) {
    const auto opened = ChooseBackend(Backend::BuiltInSim).open("");
    std::uint8_t signature[2] = {};
    opened->io().ReadFromPhysicalMemory(0xC0000, signature);
    EXPECT_EQ(signature[0], 0x55);
    EXPECT_EQ(signature[1], 0xAA);
}

}  // namespace
}  // namespace ruvuvuri::app
