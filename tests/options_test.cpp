// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace ruvuvuri::app {

void PrintTo(const ClockOptions& o, std::ostream* os) {
    char text[128];
    std::snprintf(text, sizeof text, "{mem %.6f, core %.6f, t 0x%08x 0x%08x 0x%08x}", o.memory_mhz,
                  o.core_mhz, o.timing[0], o.timing[1], o.timing[2]);
    *os << text;
}

void PrintTo(const RunOptions& o, std::ostream* os) {
    *os << "{backend " << static_cast<int>(o.backend) << " profile '" << o.profile_path
        << "' trace '" << o.trace_path << "' ui " << static_cast<int>(o.ui) << " info " << o.info
        << " help " << o.help << " version " << o.version << "}";
}

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// argv as main receives it, with a program name in front.
class Argv {
  public:
    explicit Argv(const std::vector<std::string>& args) : args_(args) {
        pointers_.push_back("ruvuvuri");
        for (const auto& arg : args_) {
            pointers_.push_back(arg.c_str());
        }
        pointers_.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(pointers_.size()) - 1; }
    const char* const* argv() const { return pointers_.data(); }

  private:
    std::vector<std::string> args_;
    std::vector<const char*> pointers_;
};

CommandLine Parse(const std::vector<std::string>& args) {
    const Argv argv(args);
    return ParseCommandLine(argv.argc(), argv.argv());
}

ClockOptions Clocks(double memory, double core) {
    ClockOptions options;
    options.memory_mhz = memory;
    options.core_mhz = core;
    return options;
}

ClockOptions Timings(std::uint32_t t0, std::uint32_t t1, std::uint32_t t2) {
    ClockOptions options;
    options.timing[0] = t0;
    options.timing[1] = t1;
    options.timing[2] = t2;
    return options;
}

constexpr std::uint32_t kNot = NOT_GIVEN_TIMING;

struct ClockCase {
    std::vector<std::string> args;
    ClockOptions expected;
};

TEST(ParseCommandLine, ClockAndTimingOptionsAfterTheRangeCheck) {
    const ClockCase cases[] = {
        // The range ends are inclusive; just outside is dropped.
        {{"c=80", "m=800"}, Clocks(800.0, 80.0)},
        {{"c=400", "m=80"}, Clocks(80.0, 400.0)},
        {{"c=79.99"}, Clocks(0.0, 0.0)},
        {{"c=400.01"}, Clocks(0.0, 0.0)},
        {{"m=800.5"}, Clocks(0.0, 0.0)},
        {{"m=79.999"}, Clocks(0.0, 0.0)},
        // The memory range is wider than the core range.
        {{"m=500", "c=500"}, Clocks(500.0, 0.0)},
        {{"c=199.9999"}, Clocks(0.0, 199.9999)},
        {{"C=250", "M=300"}, Clocks(300.0, 250.0)},
        // "%lf": leading blanks, a number followed by junk, signs.
        {{"c= 150"}, Clocks(0.0, 150.0)},
        {{"c=150abc"}, Clocks(0.0, 150.0)},
        {{"m=-200"}, Clocks(0.0, 0.0)},
        {{"c=1.5e2"}, Clocks(0.0, 150.0)},
        // Not a number, infinity: dropped by the range check.
        {{"c=nan", "m=nan"}, Clocks(0.0, 0.0)},
        {{"c=inf", "m=-inf"}, Clocks(0.0, 0.0)},
        // Nothing converts: the previous value stays.
        {{"c=abc"}, Clocks(0.0, 0.0)},
        {{"c=150", "c=abc"}, Clocks(0.0, 150.0)},
        {{"c=150", "c="}, Clocks(0.0, 150.0)},
        {{"t1=5", "t1=zz"}, Timings(kNot, 5, kNot)},
        // Later overrides earlier, also when the later value is out of range.
        {{"c=150", "c=200"}, Clocks(0.0, 200.0)},
        {{"c=150", "c=500"}, Clocks(0.0, 0.0)},
        // "%x": optional 0x prefix, either case, a sign.
        {{"T1=0x12345678"}, Timings(kNot, 0x12345678, kNot)},
        {{"t1=12345678"}, Timings(kNot, 0x12345678, kNot)},
        {{"t0=deadBEEF", "T2=0X1"}, Timings(0xdeadbeef, kNot, 1)},
        {{"t2=-1"}, Timings(kNot, kNot, 0xffffffff)},
        {{"t0=AAAAAAAA"}, ClockOptions{}},
        // Only a complete number converts; what follows one is left alone.
        {{"t0=0x", "T1=0X", "t2=-"}, ClockOptions{}},
        {{"c=100e", "m=1.5E-"}, Clocks(0.0, 0.0)},
        {{"c=150", "c=0x1.8p+", "m=200", "m=."}, Clocks(200.0, 150.0)},
        {{"c=150MHz", "m=0x1.2cp7"}, Clocks(150.0, 150.0)},
        {{"t0=0x1zzz", "t2=0x1_0"}, Timings(1, kNot, 1)},
        {{"t0=-1"}, Timings(0xffffffff, kNot, kNot)},
        // Above 32 bits: ignored, not cut to the low bits.
        {{"t2=5", "t2=123456789"}, Timings(kNot, kNot, 5)},
        // Skipped without a word.
        {{"t3=5", "c200", "x=1"}, ClockOptions{}},
        {{"t=5", "t0", "t05", "c", "m:100", "", "cm=100"}, ClockOptions{}},
        {{"--c=150", "--m=200", "--t0=5", "-c=150"}, ClockOptions{}},
        // Timings are kept whatever happens to the clocks.
        {{"t0=0", "t1=ffffffff", "m=1000", "c=nan"}, Timings(0, 0xffffffff, kNot)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_EQ(Parse(c.args).clocks, c.expected);
    }
}

TEST(ParseCommandLine, IgnoresArgvZero) {
    // argv[0] would be a core option if it were read.
    const char* argv[] = {"c=150", "m=200", nullptr};
    const CommandLine line = ParseCommandLine(2, argv);
    EXPECT_EQ(line.clocks.core_mhz, 0.0);
    EXPECT_EQ(line.clocks.memory_mhz, 200.0);
}

RunOptions BuiltInSim() {
    RunOptions options;
    options.backend = Backend::BuiltInSim;
    return options;
}

RunOptions ProfileSim(const std::string& path) {
    RunOptions options;
    options.backend = Backend::ProfileSim;
    options.profile_path = path;
    return options;
}

RunOptions Trace(const std::string& path) {
    RunOptions options;
    options.trace_path = path;
    return options;
}

RunOptions Ui(UiChoice ui) {
    RunOptions options;
    options.ui = ui;
    return options;
}

RunOptions Flags(bool info, bool help, bool version) {
    RunOptions options;
    options.info = info;
    options.help = help;
    options.version = version;
    return options;
}

struct RunCase {
    std::vector<std::string> args;
    RunOptions expected;
    // Substrings, one entry per expected warning.
    std::vector<std::vector<std::string>> warnings;
};

TEST(ParseCommandLine, DoubleDashOptionsAndWarnings) {
    const RunCase cases[] = {
        {{}, RunOptions{}, {}},
        {{"c=200", "m=300", "x=1", "-v", "t3=1"}, RunOptions{}, {}},
        {{"--sim"}, BuiltInSim(), {}},
        {{"--sim=cards/gts.json"}, ProfileSim("cards/gts.json"), {}},
        {{"--sim=a.json", "--sim"}, BuiltInSim(), {}},
        {{"--sim", "--sim=a=b.json"}, ProfileSim("a=b.json"), {}},
        {{"--trace=run.trace"}, Trace("run.trace"), {}},
        {{"--trace=", "--trace"},
         RunOptions{},
         {{"--trace=", "file name"}, {"--trace", "file name"}}},
        {{"--ui=console"}, Ui(UiChoice::Console), {}},
        {{"--ui=console", "--ui=qt"}, Ui(UiChoice::Qt), {}},
        {{"--ui=gtk"}, RunOptions{}, {{"--ui=gtk", "console", "qt"}}},
        {{"--ui"}, RunOptions{}, {{"--ui", "console", "qt"}}},
        {{"--info"}, Flags(true, false, false), {}},
        {{"--help", "--version"}, Flags(false, true, true), {}},
        {{"--help=yes"}, RunOptions{}, {{"--help=yes", "no value"}}},
        {{"--foo"}, RunOptions{}, {{"ignoring unknown option --foo; see --help"}}},
        {{"--", "--simulate"},
         RunOptions{},
         {{"unknown option --;"}, {"unknown option --simulate;"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const CommandLine parsed = Parse(c.args);
        EXPECT_EQ(parsed.run, c.expected);
        ASSERT_EQ(parsed.warnings.size(), c.warnings.size());
        for (std::size_t i = 0; i < c.warnings.size(); ++i) {
            EXPECT_EQ(parsed.warnings[i].find('\n'), std::string::npos);
            for (const auto& part : c.warnings[i]) {
                EXPECT_THAT(parsed.warnings[i], HasSubstr(part));
            }
        }
    }
}

// An empty profile name must never turn a simulated run into a real one.
TEST(ParseCommandLine, AnEmptySimulatorProfileIsAnError) {
    for (const auto& args :
         {std::vector<std::string>{"--sim="}, std::vector<std::string>{"--sim=a.json", "--sim="}}) {
        const CommandLine parsed = Parse(args);
        EXPECT_THAT(parsed.error, HasSubstr("--sim= needs a profile file name"));
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
    }
    EXPECT_THAT(Parse({"--sim=a.json"}).error, IsEmpty());
}

TEST(UsageText, ListsEveryOptionWithItsRange) {
    const std::string usage = UsageText();
    for (const char* part :
         {"c=", "C=", "m=", "M=", "t0=", "t1=", "t2=", "80 to 400 MHz", "80 to 800 MHz", "--sim ",
          "--sim=FILE", "--trace=FILE", "--ui=console", "--ui=qt", "--info", "--help", "--version",
          "console panel"}) {
        EXPECT_THAT(usage, HasSubstr(part));
    }
    EXPECT_EQ(usage.back(), '\n');
}

}  // namespace
}  // namespace ruvuvuri::app
