// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/ui_choice.h"

namespace ruvuvuri::app {

// A timing option holding this value cannot be told from an absent one.
inline constexpr std::uint32_t NOT_GIVEN_TIMING = 0xAAAAAAAA;

// The clock and timing wishes of the command line: c=, m=, t0=, t1=, t2= and
// their capitals. 0.0 and NOT_GIVEN_TIMING mean "not given".
struct ClockOptions {
    double memory_mhz = 0.0;
    double core_mhz = 0.0;
    std::uint32_t timing[3] = {NOT_GIVEN_TIMING, NOT_GIVEN_TIMING, NOT_GIVEN_TIMING};

    bool operator==(const ClockOptions&) const = default;
};

// The ranges CheckRanges keeps, in MHz.
inline constexpr double kMinClockMhz = 80.0;
inline constexpr double kMaxCoreMhz = 400.0;
inline constexpr double kMaxMemoryMhz = 800.0;

// A clock or timing argument split at its '=': `key` is "c", "m", "t0", "t1"
// or "t2" whatever the case of the letter, and empty for any other argument.
struct ClockArgument {
    std::string key;
    std::string_view value;
};
ClockArgument AsClockArgument(std::string_view arg);

// Reads argv[1] .. argv[argc - 1] in order into `options`. Anything that is not
// one of the options above is skipped without a word; a later option overrides
// an earlier one; a value that does not convert leaves the previous one.
void ParseOptions(int argc, const char* const argv[], ClockOptions& options);

// Drops (back to 0.0) a memory target outside 80..800 MHz and a core target
// outside 80..400 MHz, NaN included. Timings are always kept.
void CheckRanges(ClockOptions& options);

// Where the hardware accesses of the run go.
enum class Backend { Hardware, BuiltInSim, ProfileSim };

using ui::UiChoice;

// The options that start with "--".
struct RunOptions {
    Backend backend = Backend::Hardware;
    std::string profile_path;  // for Backend::ProfileSim
    std::string trace_path;    // empty: no trace
    UiChoice ui = UiChoice::Default;
    bool info = false;
    bool help = false;
    bool version = false;
    // Extensions; without them the run is exactly the original one.
    bool dry_run = false;            // print the plan instead of writing
    bool strict = false;             // every ignored option is an error
    bool json = false;               // --info as one JSON object
    int revert_after_seconds = 0;    // 0: no confirm-or-revert question
    int crystal_khz = 0;             // 0: as the straps say; else stated where they leave it open
    std::string explain_trace_path;  // empty: no trace to explain

    bool operator==(const RunOptions&) const = default;
};

struct ParsedRunOptions {
    RunOptions options;
    // One line each, for the user: unknown "--" options and bad values, which
    // are otherwise skipped like any unrecognised argument.
    std::vector<std::string> warnings;
    // The same arguments as errors, "ARGUMENT: why", for --strict.
    std::vector<std::string> strict_errors;
    // A request the run cannot honour safely (--sim= without a file): the
    // program must end with this one line instead of starting.
    std::string error;
    // The exit status for `error`: -1 for a platform that must not start, 2
    // for an extension's value that is out of its range.
    int error_status = -1;
};

// The range of --revert-after, in seconds.
inline constexpr int kMinRevertSeconds = 1;
inline constexpr int kMaxRevertSeconds = 600;

ParsedRunOptions ParseRunOptions(int argc, const char* const argv[]);

// The text --help prints.
std::string UsageText();

// Under --strict, every argument the run would otherwise ignore, one line each
// ("ARGUMENT: why"): a clock that is not a whole number or out of its range, a
// timing that is not a whole 32-bit hexadecimal value or is AAAAAAAA, an option
// given twice (the earlier one would be dropped), anything that is not an
// option, a bad "--" option, clock options a read-only run would not apply,
// and a run with nothing to apply (--strict never shows the panel). Reads only
// the arguments: nothing is touched.
std::vector<std::string> StrictErrors(int argc, const char* const argv[],
                                      const ParsedRunOptions& parsed);

}  // namespace ruvuvuri::app
