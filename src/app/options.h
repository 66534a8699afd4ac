// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/ui_engine.h"

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

// The ranges the command line keeps, in MHz.
inline constexpr double kMinClockMhz = 80.0;
inline constexpr double kMaxCoreMhz = 400.0;
inline constexpr double kMaxMemoryMhz = 800.0;

// MHz (the front ends) to kHz (the clock engine): × 1000.0 truncated toward
// zero. Values that do not fit an unsigned 32-bit integer (negative, NaN, too
// large) would be undefined behaviour in a plain cast; they map to 0, which the
// clock engine treats as "no target" and leaves that PLL as it is.
inline std::uint32_t MhzToKhz(double mhz) {
    const double khz = mhz * 1000.0;
    if (!(khz >= 0.0) || khz >= 4294967296.0) {
        return 0;
    }
    return static_cast<std::uint32_t>(khz);
}

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
    bool restore = false;            // write back the clocks the card started with
    bool at_boot = false;            // apply under --strict, guarded against a start that hung
    bool at_shutdown = false;        // clear that guard
    bool force = false;              // --at-boot despite the guard
    bool install_at_start = false;   // Windows: apply these options at every start
    bool remove_at_start = false;

    bool operator==(const RunOptions&) const = default;
};

// The range of --revert-after, in seconds.
inline constexpr int kMinRevertSeconds = 1;
inline constexpr int kMaxRevertSeconds = 600;

// Everything the command line says, from one pass over argv before anything
// is opened.
struct CommandLine {
    RunOptions run;
    // c=, m=, t0=, t1=, t2=: each read as C's "%lf" or "%x" reads it from the
    // character after '=', a later one overriding an earlier one and a value
    // that converts nothing leaving the previous; then a clock outside its
    // range goes back to 0.0 (not given).
    ClockOptions clocks;
    std::vector<std::string> clock_arguments;  // as given, for a start entry that repeats them
    // Each argument the run ignores, one line for the user: unknown "--"
    // options and bad values ("ignoring ..."); other arguments are skipped
    // without a word.
    std::vector<std::string> warnings;
    // Under --strict every argument the run would ignore is an error instead,
    // "ARGUMENT: why": a clock that is not a whole number or out of its range,
    // a timing that is not a whole 32-bit hexadecimal value or is AAAAAAAA, an
    // option given twice, anything that is not an option, a bad "--" option,
    // clock options a read-only run would not apply, and a run with nothing to
    // apply (--strict never shows the panel).
    std::vector<std::string> strict_errors;
    // A request the run cannot honour safely (--sim= without a file): the
    // program must end with this one line, and `error_status`, instead.
    std::string error;
    int error_status = -1;  // -1 for a platform that must not start, 2 for a bad value

    // What this run reports: the errors under --strict, else the warnings.
    const std::vector<std::string>& notes() const { return run.strict ? strict_errors : warnings; }
};

CommandLine ParseCommandLine(int argc, const char* const argv[]);

// The text --help prints.
std::string UsageText();

}  // namespace ruvuvuri::app
