// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/options.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>
#include <map>
#include <string_view>

#include "base/number_text.h"
#include "base/text.h"

namespace ruvuvuri::app {

namespace {

// The comparisons are written so that NaN fails them.
double KeepWithin(double value, double high) {
    return value >= kMinClockMhz && value <= high ? value : 0.0;
}

// A whole number of seconds within the range, nothing around it.
bool ParseSeconds(std::string_view text, int& seconds) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != text.npos) {
        return false;
    }
    seconds = std::stoi(std::string(text));
    return seconds >= kMinRevertSeconds && seconds <= kMaxRevertSeconds;
}

// The crystals a board of these chips can have, in kHz.
bool ParseCrystal(std::string_view text, int& khz) {
    for (const std::string_view crystal : {"13500", "14318", "25000", "27000"}) {
        if (text == crystal) {
            khz = std::stoi(std::string(text));
            return true;
        }
    }
    return false;
}

// The "--" options that take no value.
struct Flag {
    std::string_view name;
    bool RunOptions::*field;
};
constexpr Flag kFlags[] = {
    {"--dry-run", &RunOptions::dry_run},
    {"--strict", &RunOptions::strict},
    {"--json", &RunOptions::json},
    {"--info", &RunOptions::info},
    {"--help", &RunOptions::help},
    {"--version", &RunOptions::version},
    {"--restore", &RunOptions::restore},
    {"--at-boot", &RunOptions::at_boot},
    {"--at-shutdown", &RunOptions::at_shutdown},
    {"--force", &RunOptions::force},
    {"--install-at-start", &RunOptions::install_at_start},
    {"--remove-at-start", &RunOptions::remove_at_start},
};

// The one pass: each argument goes to the options it sets and, when the run
// would ignore it, to a warning and a strict error.
class Parser {
  public:
    CommandLine Parse(int argc, const char* const argv[]) {
        for (int i = 1; i < argc; ++i) {
            const std::string_view arg = argv[i] == nullptr ? "" : argv[i];
            if (arg.starts_with("--")) {
                RunOption(arg);
            } else {
                ClockOption(arg);
            }
        }
        ClockOptions& clocks = line_.clocks;
        clocks.memory_mhz = KeepWithin(clocks.memory_mhz, kMaxMemoryMhz);
        clocks.core_mhz = KeepWithin(clocks.core_mhz, kMaxCoreMhz);
        CrossChecks();
        return line_;
    }

  private:
    void Ignore(std::string_view argument, const std::string& why) {
        line_.warnings.push_back("ignoring " + std::string(argument) + ": " + why);
        StrictError(argument, why);
    }
    void StrictError(std::string_view argument, const std::string& why) {
        line_.strict_errors.push_back(
            (argument.empty() ? std::string("(empty argument)") : std::string(argument)) + ": " +
            why);
    }
    void Refuse(std::string_view argument, const std::string& why) {
        line_.error = std::string(argument) + ": " + why;
        line_.error_status = 2;
    }

    // c=, m= ("%lf") and t0=, t1=, t2= ("%x"), the letter in either case;
    // anything else is skipped, silently unless --strict. The conversion that
    // sets the value also says whether --strict takes it: only a whole number,
    // nothing around it, in its range.
    void ClockOption(std::string_view arg) {
        const char letter = arg.empty() ? '\0' : static_cast<char>(arg[0] | 0x20);
        const bool clock = arg.size() >= 2 && arg[1] == '=' && (letter == 'c' || letter == 'm');
        const bool timing =
            arg.size() >= 3 && letter == 't' && arg[1] >= '0' && arg[1] <= '2' && arg[2] == '=';
        if (!clock && !timing) {
            StrictError(arg, "not an option; see --help");
            return;
        }
        line_.clock_arguments.emplace_back(arg);
        const std::string key = clock ? std::string(1, letter) : std::string("t") + arg[1];
        const std::string_view value = arg.substr(clock ? 2 : 3);
        const std::string problem = clock ? Clock(letter == 'c', key, value)
                                          : Timing(line_.clocks.timing[arg[1] - '0'], key, value);
        if (!problem.empty()) {
            StrictError(arg, problem);
        }
        if (const auto earlier = given_.find(key); earlier != given_.end()) {
            StrictError(earlier->second, "given again by " + std::string(arg) + "; give each once");
        }
        given_[key] = arg;
    }

    std::string Clock(bool core, const std::string& key, std::string_view value) {
        const auto scan = base::ScanDouble(value);
        if (scan.ok()) {
            (core ? line_.clocks.core_mhz : line_.clocks.memory_mhz) = scan.value;
        }
        if (!scan.ok() || scan.length != value.size() || base::IsBlank(value[0]) ||
            !std::isfinite(scan.value)) {
            return "not a number of MHz, as in " + key + "=150";
        }
        if (!(scan.value >= kMinClockMhz && scan.value <= (core ? kMaxCoreMhz : kMaxMemoryMhz))) {
            return std::string(core ? "the core" : "the memory") + " clock must be 80 to " +
                   (core ? "400" : "800") + " MHz";
        }
        return "";
    }

    static std::string Timing(std::uint32_t& timing, const std::string& key,
                              std::string_view value) {
        const auto scan = base::ScanHex32(value);
        if (scan.ok()) {
            timing = scan.value;
        }
        if (scan.status == base::NumberStatus::OutOfRange) {
            return "more than 32 bits; a timing register holds 8 hexadecimal digits";
        }
        // No blank and no sign: a register value as it is written.
        if (!scan.ok() || scan.length != value.size() ||
            !std::isxdigit(static_cast<unsigned char>(value[0]))) {
            return "not a hexadecimal value, as in " + key + "=0x22322222";
        }
        if (scan.value == NOT_GIVEN_TIMING) {
            return "AAAAAAAA cannot be told from a timing not given, so it would be ignored";
        }
        return "";
    }

    void RunOption(std::string_view arg) {
        RunOptions& options = line_.run;
        const auto equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        const bool has_value = equals != std::string_view::npos;
        const std::string_view value = has_value ? arg.substr(equals + 1) : std::string_view();

        if (name == "--sim") {
            if (!has_value) {
                options.backend = Backend::BuiltInSim;
                options.profile_path.clear();
            } else if (value.empty()) {
                // A simulated run was asked for (an unset variable in a script,
                // say); it must never fall back to the real card.
                line_.error =
                    "--sim= needs a profile file name, as in --sim=card.json (or --sim alone "
                    "for the built-in card); nothing was done";
                line_.error_status = -1;
            } else {
                options.backend = Backend::ProfileSim;
                options.profile_path = value;
            }
        } else if (name == "--trace") {
            if (value.empty()) {
                Ignore(arg, "a file name is needed, as in --trace=run.trace");
            } else {
                options.trace_path = value;
            }
        } else if (name == "--ui") {
            if (value == "console" || value == "qt") {
                options.ui = value == "qt" ? UiChoice::Qt : UiChoice::Console;
            } else {
                Ignore(arg, "the panel engine is --ui=console or --ui=qt");
            }
        } else if (name == "--revert-after") {
            // A safety net asked for and not there must not let the run go on.
            if (!ParseSeconds(value, options.revert_after_seconds)) {
                Refuse(arg,
                       "give the seconds to wait for a yes, 1 to 600, as in --revert-after=30; "
                       "nothing was done");
            }
        } else if (name == "--crystal") {
            // A crystal that is not one of these cards' would make every clock wrong.
            if (!ParseCrystal(value, options.crystal_khz)) {
                Refuse(arg,
                       "give the board's crystal in kHz, 13500, 14318, 25000 or 27000, as in "
                       "--crystal=27000; nothing was done");
            }
        } else if (name == "--explain-trace") {
            if (value.empty()) {
                Refuse(arg, "give the trace file to explain, as in --explain-trace=run.trace");
            } else {
                options.explain_trace_path = value;
            }
        } else if (const auto flag = std::find_if(std::begin(kFlags), std::end(kFlags),
                                                  [&](const Flag& f) { return f.name == name; });
                   flag != std::end(kFlags)) {
            if (has_value) {
                Ignore(arg, std::string(name) + " takes no value");
            } else {
                options.*flag->field = true;
            }
        } else {
            line_.warnings.push_back("ignoring unknown option " + std::string(arg) +
                                     "; see --help");
            StrictError(arg, "unknown option; see --help");
        }
    }

    // What only the whole command line shows.
    void CrossChecks() {
        RunOptions& run = line_.run;
        const bool clock_arguments = !line_.clock_arguments.empty();
        // Settings applied at start are a script's: nothing may be ignored.
        run.strict = run.strict || run.at_boot || run.install_at_start;
        if (run.restore && clock_arguments) {
            Refuse("--restore",
                   "it writes back the clocks the card started with; give no clock or timing "
                   "option with it");
        }
        if (run.force && !run.at_boot) {
            Ignore("--force", "it goes with --at-boot, as in --at-boot --force");
        }
        if (run.json && !run.info) {
            Ignore("--json", "it goes with --info, as in --info --json");
        }
        const bool read_only = run.info || !run.explain_trace_path.empty();
        if ((clock_arguments || run.restore) && read_only) {
            StrictError(run.info ? "--info" : "--explain-trace",
                        "writes nothing, so the clock and timing options would be ignored");
        }
        if (run.revert_after_seconds != 0 && (read_only || run.dry_run)) {
            StrictError("--revert-after", "nothing is written to revert in this run");
        }
        // Empty start settings mean: do nothing.
        const bool writes_nothing = run.at_boot || run.at_shutdown || run.remove_at_start;
        if (!clock_arguments && !run.restore && !read_only && !writes_nothing && !run.help &&
            !run.version) {
            StrictError("--strict",
                        "no clock or timing option to apply (give c=, m=, t0=, t1= or t2=); "
                        "--strict never shows the panel");
        }
    }

    CommandLine line_;
    std::map<std::string, std::string_view> given_;  // option key -> its last argument
};

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const argv[]) {
    return Parser().Parse(argc, argv);
}

std::string UsageText() {
    return "Usage: ruvuvuri [OPTION]...\n"
           "Reads and sets the core and memory clocks and the three memory timing registers of\n"
           "an NVIDIA GeForce 256 to GeForce4 card (NV1x/NV2x chips; it touches no other). Given\n"
           "clock or timing options it applies them and ends; otherwise it shows the panel.\n"
           "\n"
           "  c=MHZ, m=MHZ    core clock, 80 to 400 MHz; memory clock, 80 to 800 MHz (or C=, M=)\n"
           "  t0=HEX t1=HEX t2=HEX  timing registers 0x100220, 0x100224, 0x100228 (or T0= ..)\n"
           "  --sim           the built-in simulated card (a GeForce2 GTS), for this run only\n"
           "  --sim=FILE      the simulated card kept in the profile FILE, made from the\n"
           "                  built-in card when missing\n"
           "  --trace=FILE    append every hardware access of the run to FILE\n"
           "  --ui=console, --ui=qt  the panel on the terminal or in windows\n"
           "  --info [--json] print the card's facts (as JSON); writes nothing\n"
           "  --dry-run       print what an apply would write; writes nothing\n"
           "  --strict        every argument that would be ignored is an error (status 2)\n"
           "  --revert-after=SECONDS  ask to keep a change; anything but yes writes back\n"
           "  --crystal=KHZ   the board's crystal where the straps leave it open\n"
           "  --explain-trace=FILE  the register accesses a trace holds, run by run\n"
           "  --restore       write back the clocks the card started with in this boot\n"
           "  --at-boot [--force], --at-shutdown  apply the options at start, guarded\n"
           "                  against a start that hung; clear the guard at shutdown\n"
           "  --install-at-start, --remove-at-start  (Windows) the same at every start\n"
           "  --help, --version\n"
           "\n"
           "A clock out of range and a malformed option are ignored; t0=AAAAAAAA counts as not\n"
           "given. The real card needs root. Exit status: 0, or 2 for a refused argument, 3 for\n"
           "no GeForce under --strict, 4 for a start the guard stopped, 255 when the card or a\n"
           "file cannot be used.\n"
           "The console panel reads its commands from standard input. The manual: man ruvuvuri\n";
}

}  // namespace ruvuvuri::app
