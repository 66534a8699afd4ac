// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/register_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/expected_trace.h"

namespace ruvuvuri::hw {
namespace {

using test::CardModel;
using test::ExpectedTrace;
using test::StateFor;
using test::TracedCard;

constexpr std::uint32_t kStrap = 0x101000;
constexpr std::uint32_t kTiming0 = 0x100220;

TEST(RegisterWindow, SetBaseportFollowsMiscOutputBit0) {
    struct Case {
        std::uint8_t misc;
        std::uint16_t baseport;
    };
    for (const Case c : {Case{0x67, 0x3D4}, Case{0x66, 0x3B4}, Case{0x01, 0x3D4}}) {
        SCOPED_TRACE(c.misc);
        CardModel model;
        model.misc_output = c.misc;
        TracedCard card(StateFor(model));
        EXPECT_EQ(card.window.crtc().base(), c.baseport);
        EXPECT_EQ(card.Lines(), ExpectedTrace(model).SetBaseport().lines());
    }
}

struct AccessCase {
    std::string name;
    CardModel model;
    std::uint32_t address;
    std::uint32_t value;  // read: what the register holds; write: what is written
};

std::vector<AccessCase> AccessCases() {
    CardModel plain;
    plain.cr38 = 0x00;
    plain.window_address = 0x00000000;
    plain.registers = {{kStrap, 0x00000040}, {kTiming0, 0x22322222}};

    // The previous user left the window pointing at a register with bit 15 of
    // the address set and a low data word with bit 15 set.
    CardModel bit15_address = plain;
    bit15_address.cr38 = 0x03;
    bit15_address.window_address = 0x0068'8004;
    bit15_address.registers[0x0068'8004] = 0x1234'9ABC;

    CardModel mono = plain;
    mono.misc_output = 0x66;

    return {
        {"Plain", plain, kStrap, 0x00000040},
        {"RegisterLowWordBit15", plain, kTiming0, 0x7FFF'8001},
        {"WindowAddressLowWordBit15", bit15_address, kTiming0, 0xFFFF'FFFF},
        {"MonoCrtController", mono, kTiming0, 0x8000'8000},
    };
}

TEST(RegisterWindow, InLongwordTraceAndRestore) {
    for (AccessCase c : AccessCases()) {
        SCOPED_TRACE(c.name);
        c.model.registers[c.address] = c.value;
        TracedCard card(StateFor(c.model));
        ExpectedTrace expected(c.model);
        expected.SetBaseport();

        EXPECT_EQ(card.window.IN_LONGWORD(c.address), c.value);
        expected.RegisterRead(c.address);

        const std::vector<std::string> lines = card.Lines();
        EXPECT_EQ(lines.size(), 2u + 18u);
        EXPECT_EQ(lines, expected.lines());
        const CardState& state = card.sim.state();
        EXPECT_EQ(state.window_address, c.model.window_address);
        EXPECT_EQ(state.crtc.at(0x38), c.model.cr38);
        EXPECT_EQ(state.crtc_index, 0x38);
        for (const auto& [address, value] : c.model.registers) {
            EXPECT_EQ(state.registers.at(address), value) << address;
        }
        EXPECT_TRUE(state.faults.empty());
    }
}

TEST(RegisterWindow, OutLongwordTraceAndRestore) {
    for (const AccessCase& c : AccessCases()) {
        SCOPED_TRACE(c.name);
        TracedCard card(StateFor(c.model));
        ExpectedTrace expected(c.model);
        expected.SetBaseport();

        card.window.OUT_LONGWORD(c.address, c.value);
        expected.RegisterWrite(c.address, c.value);

        EXPECT_EQ(card.Lines(), expected.lines());
        const CardState& state = card.sim.state();
        EXPECT_EQ(state.registers.at(c.address), c.value);
        EXPECT_EQ(state.window_address, c.model.window_address);
        EXPECT_EQ(state.crtc.at(0x38), c.model.cr38);
        // The low data word the window returned at opening is back in the latch.
        const auto held = c.model.registers.find(c.model.window_address);
        const std::uint32_t saved = held == c.model.registers.end() ? 0 : held->second;
        EXPECT_EQ(state.window_latch, saved & 0xFFFF);
        EXPECT_TRUE(state.faults.empty());
    }
}

TEST(RegisterWindow, AccessKeepsWindowAddressWithBit15Exactly) {
    CardModel model;
    model.window_address = 0xFFFF'FFFC;
    TracedCard card(StateFor(model));
    card.window.IN_LONGWORD(kStrap);
    EXPECT_EQ(card.sim.state().window_address, 0xFFFF'FFFCu);
}

}  // namespace
}  // namespace ruvuvuri::hw
