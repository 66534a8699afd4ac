// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace ruvuvuri::app {
namespace {

using namespace std::string_view_literals;
using Args = std::vector<std::string>;

struct SplitCase {
    const char* what;
    std::string_view line;
    Args expected;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.what;
}

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, Splits) {
    EXPECT_EQ(SplitCommandLine(GetParam().line), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitCommandLineTest,
    ::testing::Values(
        // The program name.
        SplitCase{"empty line", "", {}}, SplitCase{"name only", "ruvuvuri.exe", {}},
        SplitCase{"name then blanks", "ruvuvuri.exe  \t ", {}},
        SplitCase{"unquoted name", "ruvuvuri.exe c=200", {"c=200"}},
        SplitCase{
            "quoted name with a blank", R"("C:\Program Files\ruvuvuri.exe" m=183)", {"m=183"}},
        SplitCase{"quoted name runs into the first argument", R"("a b"c=200)", {"c=200"}},
        SplitCase{"unclosed quoted name swallows the line", R"("a b c=200)", {}},
        SplitCase{"name ends at a control character",
                  "ruvuvuri\x01"
                  "c=200",
                  {"c=200"}},
        SplitCase{
            "control characters after the name are skipped", "ruvuvuri \x01\x02m=90", {"m=90"}},
        // Separating arguments.
        SplitCase{"blanks and tabs", "p a\t b  \tc", {"a", "b", "c"}},
        SplitCase{"CR and LF between arguments", "p a \r\n\r\n b", {"a", "b"}},
        SplitCase{"CR and LF inside an argument stay", "p a\rb\nc d", {"a\rb\nc", "d"}},
        SplitCase{"other control characters start an argument", "p a \x02z", {"a", "\x02z"}},
        SplitCase{"NUL ends the line", "p a\0b c"sv, {"a"}},
        // Quotes and backslashes.
        SplitCase{"quoted option arrives without quotes", R"(p "c=200")", {"c=200"}},
        SplitCase{"backslash quote is one literal quote", R"(p a\"b)", {"a\"b"}},
        SplitCase{"blank between quotes does not split", R"(p "a b")", {"a b"}},
        SplitCase{"two escaped quotes", R"(p \"\")", {"\"\""}},
        SplitCase{"escaped quote does not open quoting", R"(p \"a b)", {"\"a", "b"}},
        SplitCase{"escaped quote does not close quoting", R"(p "a\" b")", {"a\" b"}},
        SplitCase{"even backslash run is kept and the quote opens", R"(p \\"a b")", {R"(\\a b)"}},
        SplitCase{"odd backslash run of three", R"(p \\\"a)", {R"(\\"a)"}},
        SplitCase{
            "backslashes without a quote are kept", R"(p C:\dir\ x\\y)", {R"(C:\dir\)", R"(x\\y)"}},
        SplitCase{"empty quoted argument", R"(p "" b)", {"", "b"}},
        SplitCase{"quotes in the middle join", R"(p c"="200)", {"c=200"}},
        SplitCase{"unclosed quote runs to the end", R"(p "a b  c)", {"a b  c"}},
        SplitCase{"bytes above 0x7f are characters", "p \xe9t\xe9 x", {"\xe9t\xe9", "x"}}));

TEST(ProgramNameFromModulePathTest, CutsAfterTheLastBackslashOrColon) {
    EXPECT_EQ(ProgramNameFromModulePath(R"(C:\Tools\Ruvuvuri\ruvuvuri.exe)"), "ruvuvuri.exe");
    EXPECT_EQ(ProgramNameFromModulePath("C:ruvuvuri.exe"), "ruvuvuri.exe");
    EXPECT_EQ(ProgramNameFromModulePath("ruvuvuri.exe"), "ruvuvuri.exe");
    EXPECT_EQ(ProgramNameFromModulePath(R"(C:\dir\)"), "");
}

}  // namespace
}  // namespace ruvuvuri::app
