// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/field_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ruvuvuri::ui {
namespace {

TEST(FieldText, HexReadsBackWhatTheFieldsShowAndRefusesTheRest) {
    struct Case {
        const char* text;
        std::optional<std::uint32_t> value;
    };
    for (const Case& c :
         {Case{"00000A0A", 0x0a0a}, Case{"0x10de", 0x10de}, Case{" ffffffff ", 0xffffffff},
          Case{"100000000", std::nullopt}, Case{"0x", std::nullopt}, Case{"", std::nullopt},
          Case{"12g4", std::nullopt}, Case{"-1", std::nullopt}, Case{"A0A", 0xa0a}}) {
        EXPECT_EQ(ParseHex(c.text), c.value) << c.text;
    }
    // A register takes exactly eight digits: a deleted or extra digit, a sign
    // or a second prefix is no value.
    for (const Case& c : {Case{" 0X00000a0a ", 0x0a0a}, Case{"FFFFFFFF", 0xffffffff},
                          Case{"0x0000A0A", std::nullopt}, Case{"0x000000A0A", std::nullopt},
                          Case{"0x+0000A0A", std::nullopt}, Case{"0x0x0000A0", std::nullopt},
                          Case{"A0A", std::nullopt}}) {
        EXPECT_EQ(ParseRegister(c.text), c.value) << c.text;
    }
    EXPECT_EQ(FormatRegister(0x0a0a), "0x00000A0A");
    EXPECT_EQ(FormatWord(0x150), "0x0150");
}

TEST(FieldText, ClocksStayWithinTheLimitsAndUnreadableTextKeepsThePrevious) {
    struct Case {
        const char* text;
        double expected;
    };
    for (const Case& c : {Case{"200.452", 200.452}, Case{" 90 ", 90.0}, Case{"9999", 400.0},
                          Case{"1", 80.0}, Case{"nan", 166.0}, Case{"inf", 166.0},
                          Case{"1e999", 166.0}, Case{"12abc", 166.0}, Case{"", 166.0}}) {
        EXPECT_EQ(ClockWithinLimits(c.text, 166.0, 80.0, 400.0), c.expected) << c.text;
    }
    // Exact and alike on every platform, at any of the 0 to 15 decimals a panel
    // file may ask for: a tie of the binary value rounds to even.
    struct Shown {
        double value;
        int decimals;
        const char* text;
    };
    for (const Shown& c : {Shown{200.4516, 3, "200.452"}, Shown{80.0, 0, "80"},
                           Shown{0.125, 2, "0.12"}, Shown{0.1, 12, "0.100000000000"}}) {
        EXPECT_EQ(FormatClock(c.value, c.decimals), c.text) << c.value;
    }
}

}  // namespace
}  // namespace ruvuvuri::ui
