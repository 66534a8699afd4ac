// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/options.h"

#include <map>
#include <string_view>

#include "base/number_text.h"

namespace ruvuvuri::app {
namespace {

std::string ClockProblem(const ClockArgument& option) {
    if (option.key == "c" || option.key == "m") {
        const bool core = option.key == "c";
        const auto parsed = base::ParseDouble(option.value);
        if (!parsed.ok()) {
            return "not a number of MHz, as in " + option.key + "=150";
        }
        if (!(parsed.value >= kMinClockMhz &&
              parsed.value <= (core ? kMaxCoreMhz : kMaxMemoryMhz))) {
            return std::string(core ? "the core" : "the memory") + " clock must be 80 to " +
                   (core ? "400" : "800") + " MHz";
        }
        return "";
    }
    const auto parsed = base::ParseHex32(option.value);
    if (parsed.status == base::NumberStatus::OutOfRange) {
        return "more than 32 bits; a timing register holds 8 hexadecimal digits";
    }
    if (!parsed.ok()) {
        return "not a hexadecimal value, as in " + option.key + "=0x22322222";
    }
    if (parsed.value == NOT_GIVEN_TIMING) {
        return "AAAAAAAA cannot be told from a timing not given, so it would be ignored";
    }
    return "";
}

}  // namespace

std::vector<std::string> StrictErrors(int argc, const char* const argv[],
                                      const ParsedRunOptions& parsed) {
    const RunOptions& run = parsed.options;
    std::vector<std::string> errors;
    const auto error = [&errors](std::string_view arg, const std::string& why) {
        errors.push_back((arg.empty() ? std::string("(empty argument)") : std::string(arg)) + ": " +
                         why);
    };
    std::map<std::string, std::string_view> last;  // option key -> its last argument
    bool clock_arguments = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] == nullptr ? "" : argv[i];
        if (arg.starts_with("--")) {
            continue;  // judged by the option parser
        }
        const ClockArgument option = AsClockArgument(arg);
        if (option.key.empty()) {
            error(arg, "not an option; see --help");
            continue;
        }
        clock_arguments = true;
        if (const std::string problem = ClockProblem(option); !problem.empty()) {
            error(arg, problem);
        }
        if (const auto earlier = last.find(option.key); earlier != last.end()) {
            error(earlier->second, "given again by " + std::string(arg) + "; give each once");
        }
        last[option.key] = arg;
    }
    errors.insert(errors.end(), parsed.strict_errors.begin(), parsed.strict_errors.end());

    const bool read_only = run.info || !run.explain_trace_path.empty();
    if (clock_arguments && read_only) {
        error(run.info ? "--info" : "--explain-trace",
              "writes nothing, so the clock and timing options would be ignored");
    }
    if (run.revert_after_seconds != 0 && (read_only || run.dry_run)) {
        error("--revert-after", "nothing is written to revert in this run");
    }
    if (!clock_arguments && !read_only && !run.help && !run.version) {
        error("--strict",
              "no clock or timing option to apply (give c=, m=, t0=, t1= or t2=); --strict "
              "never shows the panel");
    }
    return errors;
}

}  // namespace ruvuvuri::app
