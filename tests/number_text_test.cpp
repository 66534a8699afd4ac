// SPDX-License-Identifier: GPL-2.0-or-later
// The number conversions against the C standard's rule for an input item: the
// longest prefix that is, or begins, a number must itself be a number.
#include "base/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ruvuvuri::base {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct DoubleCase {
    const char* text;
    bool ok;
    double value;        // NaN: expect a NaN
    std::size_t length;  // characters used when ok
};

TEST(ScanDouble, TakesOnlyCompleteNumbers) {
    const DoubleCase cases[] = {
        // A number that is only begun fails, also with text after it.
        {"", false, 0, 0},
        {"-", false, 0, 0},
        {"+", false, 0, 0},
        {".", false, 0, 0},
        {"-.x", false, 0, 0},
        {"1e", false, 0, 0},
        {"100e", false, 0, 0},
        {"1e+", false, 0, 0},
        {"1.5E-", false, 0, 0},
        {"1e+x", false, 0, 0},
        {"0x", false, 0, 0},
        {"0X", false, 0, 0},
        {"0xg", false, 0, 0},
        {"0x.", false, 0, 0},
        {"0x1p", false, 0, 0},
        {"0x1.8p+", false, 0, 0},
        {"0x1pz", false, 0, 0},
        {"in", false, 0, 0},
        {"infin", false, 0, 0},
        {"infinit", false, 0, 0},
        {"nan(", false, 0, 0},
        {"nan(ab", false, 0, 0},
        {"abc", false, 0, 0},
        {"1,5", true, 1.0, 1},  // the radix point is '.', whatever the locale
        // A complete number followed by other text converts its number.
        {"150MHz", true, 150.0, 3},
        {"150", true, 150.0, 3},
        {" \t150", true, 150.0, 5},
        {"+1.5e2x", true, 150.0, 6},
        {"-2.", true, -2.0, 3},
        {".5", true, 0.5, 2},
        {"1e5", true, 1e5, 3},
        {"0x1p4", true, 16.0, 5},
        {"0x1.8p+1", true, 3.0, 8},
        {"-0x.8", true, -0.5, 5},
        {"0x10", true, 16.0, 4},
        {"inf", true, kInf, 3},
        {"-Infinity", true, -kInf, 9},
        {"infx", true, kInf, 3},
        {"nan", true, NAN, 3},
        {"NaN(1_a)x", true, NAN, 8},
        // Out of a double's range: as strtod, infinity or zero.
        {"1e999", true, kInf, 5},
        {"-1e99999999999999999999", true, -kInf, 23},
        {"1e-999", true, 0.0, 6},
        {"0.0001e-400", true, 0.0, 11},
        {"0x1p99999", true, kInf, 9},
    };
    for (const DoubleCase& c : cases) {
        SCOPED_TRACE(c.text);
        const NumberScan<double> scan = ScanDouble(c.text);
        ASSERT_EQ(scan.ok(), c.ok);
        if (!c.ok) {
            continue;
        }
        if (std::isnan(c.value)) {
            EXPECT_TRUE(std::isnan(scan.value));
        } else {
            EXPECT_EQ(scan.value, c.value);
        }
        EXPECT_EQ(scan.length, c.length);
    }
}

struct HexCase {
    const char* text;
    NumberStatus status;
    std::uint32_t value;
};

TEST(ScanHex32, TakesOnlyCompleteNumbersThatFit) {
    const HexCase cases[] = {
        {"", NumberStatus::NotANumber, 0},
        {"0x", NumberStatus::NotANumber, 0},
        {"0X", NumberStatus::NotANumber, 0},
        {"0xzz", NumberStatus::NotANumber, 0},
        {"-", NumberStatus::NotANumber, 0},
        {"+0x", NumberStatus::NotANumber, 0},
        {"zz", NumberStatus::NotANumber, 0},
        {"0x1zzz", NumberStatus::Ok, 1},
        {"0x1_0", NumberStatus::Ok, 1},
        {"12345678", NumberStatus::Ok, 0x12345678},
        {"0XdeadBEEF", NumberStatus::Ok, 0xdeadbeef},
        {" +ff", NumberStatus::Ok, 0xff},
        {"-1", NumberStatus::Ok, 0xffffffff},
        {"-0x10", NumberStatus::Ok, 0xfffffff0},
        {"00000000ffffffff", NumberStatus::Ok, 0xffffffff},
        {"123456789", NumberStatus::OutOfRange, 0},
        {"-100000000", NumberStatus::OutOfRange, 0},
        {"ffffffffffffffffffff", NumberStatus::OutOfRange, 0},
    };
    for (const HexCase& c : cases) {
        SCOPED_TRACE(c.text);
        const NumberScan<std::uint32_t> scan = ScanHex32(c.text);
        EXPECT_EQ(scan.status, c.status);
        if (c.status == NumberStatus::Ok) {
            EXPECT_EQ(scan.value, c.value);
        }
    }
}

TEST(WholeText, OneCompleteNumberAndNothingElse) {
    for (const char* bad : {"", " 1", "1 ", "150MHz", "1e", "inf", "nan", "1e999"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseDouble(bad).ok());
    }
    EXPECT_EQ(ParseDouble("-200.5").value, -200.5);

    for (const char* bad : {"", "0x", "2232222 ", " 1", "-1", "+1", "0x1zzz", "22322222x"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ParseHex32(bad).status, NumberStatus::NotANumber);
    }
    EXPECT_EQ(ParseHex32("123456789").status, NumberStatus::OutOfRange);
    EXPECT_EQ(ParseHex32("0x0A0a").value, 0xa0au);

    for (const char* bad : {"", "0x", "-1", "+1", "0x1g", "12a", "18446744073709551616"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseUnsigned64(bad).has_value());
    }
    EXPECT_EQ(ParseUnsigned64("0XfF"), 0xffu);
    EXPECT_EQ(ParseUnsigned64("18446744073709551615"), 0xffffffffffffffffu);
}

}  // namespace
}  // namespace ruvuvuri::base
