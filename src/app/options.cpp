// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/options.h"

#include <algorithm>
#include <iterator>

#include "base/number_text.h"

namespace ruvuvuri::app {

namespace {

// "%lf" and "%x" as the C standard defines them: a value that only begins a
// number ("100e", "0x") converts nothing. Leaves `target` alone when nothing
// converts, so "c=150 c=abc" keeps 150, and a hex value above 32 bits is
// ignored rather than cut to its low bits.
template <typename T, typename Scan>
void ScanInto(std::string_view text, Scan scan, T& target) {
    if (const auto result = scan(text); result.ok()) {
        target = result.value;
    }
}

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
    {"--dry-run", &RunOptions::dry_run}, {"--strict", &RunOptions::strict},
    {"--json", &RunOptions::json},       {"--info", &RunOptions::info},
    {"--help", &RunOptions::help},       {"--version", &RunOptions::version},
};

}  // namespace

ClockArgument AsClockArgument(std::string_view arg) {
    if (arg.size() >= 2 && arg[1] == '=') {
        if (arg[0] == 'c' || arg[0] == 'C' || arg[0] == 'm' || arg[0] == 'M') {
            return {std::string(1, arg[0] == 'c' || arg[0] == 'C' ? 'c' : 'm'), arg.substr(2)};
        }
    }
    if (arg.size() >= 3 && (arg[0] == 't' || arg[0] == 'T') && arg[1] >= '0' && arg[1] <= '2' &&
        arg[2] == '=') {
        return {std::string("t") + arg[1], arg.substr(3)};
    }
    return {};
}

void ParseOptions(int argc, const char* const argv[], ClockOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const ClockArgument option = AsClockArgument(argv[i] == nullptr ? "" : argv[i]);
        if (option.key == "c" || option.key == "m") {
            ScanInto(option.value, base::ScanDouble,
                     option.key == "c" ? options.core_mhz : options.memory_mhz);
        } else if (!option.key.empty()) {
            ScanInto(option.value, base::ScanHex32, options.timing[option.key[1] - '0']);
        }
    }
}

void CheckRanges(ClockOptions& options) {
    options.memory_mhz = KeepWithin(options.memory_mhz, kMaxMemoryMhz);
    options.core_mhz = KeepWithin(options.core_mhz, kMaxCoreMhz);
}

ParsedRunOptions ParseRunOptions(int argc, const char* const argv[]) {
    ParsedRunOptions parsed;
    RunOptions& options = parsed.options;
    // Each ignored argument is a warning, and an error under --strict.
    const auto ignore = [&parsed](std::string_view argument, std::string_view why) {
        const std::string error = std::string(argument) + ": " + std::string(why);
        parsed.warnings.push_back("ignoring " + error);
        parsed.strict_errors.push_back(error);
    };

    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr) {
            continue;
        }
        const std::string_view arg = argv[i];
        if (!arg.starts_with("--")) {
            continue;  // a clock/timing option, or skipped silently like one
        }
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
                parsed.error =
                    "--sim= needs a profile file name, as in --sim=card.json (or --sim alone "
                    "for the built-in card); nothing was done";
            } else {
                options.backend = Backend::ProfileSim;
                options.profile_path = value;
            }
        } else if (name == "--trace") {
            if (value.empty()) {
                ignore(arg, "a file name is needed, as in --trace=run.trace");
            } else {
                options.trace_path = value;
            }
        } else if (name == "--ui") {
            if (value == "console") {
                options.ui = UiChoice::Console;
            } else if (value == "qt") {
                options.ui = UiChoice::Qt;
            } else {
                ignore(arg, "the panel engine is --ui=console or --ui=qt");
            }
        } else if (name == "--revert-after") {
            // A safety net asked for and not there must not let the run go on.
            if (!ParseSeconds(value, options.revert_after_seconds)) {
                parsed.error = std::string(arg) +
                               ": give the seconds to wait for a yes, 1 to 600, as in "
                               "--revert-after=30; nothing was done";
                parsed.error_status = 2;
            }
        } else if (name == "--crystal") {
            // A crystal that is not one of these cards' would make every clock wrong.
            if (!ParseCrystal(value, options.crystal_khz)) {
                parsed.error = std::string(arg) +
                               ": give the board's crystal in kHz, 13500, 14318, 25000 or 27000, "
                               "as in --crystal=27000; nothing was done";
                parsed.error_status = 2;
            }
        } else if (name == "--explain-trace") {
            if (value.empty()) {
                parsed.error = std::string(arg) +
                               ": give the trace file to explain, as in --explain-trace=run.trace";
                parsed.error_status = 2;
            } else {
                options.explain_trace_path = value;
            }
        } else if (const auto flag = std::find_if(std::begin(kFlags), std::end(kFlags),
                                                  [&](const Flag& f) { return f.name == name; });
                   flag != std::end(kFlags)) {
            if (has_value) {
                ignore(arg, std::string(name) + " takes no value");
            } else {
                options.*flag->field = true;
            }
        } else {
            parsed.warnings.push_back("ignoring unknown option " + std::string(arg) +
                                      "; see --help");
            parsed.strict_errors.push_back(std::string(arg) + ": unknown option; see --help");
        }
    }
    if (options.json && !options.info) {
        ignore("--json", "it goes with --info, as in --info --json");
    }
    return parsed;
}

std::string UsageText() {
    return "Usage: ruvuvuri [OPTION]...\n"
           "Reads and sets the core clock, the memory clock and the three memory timing registers\n"
           "of an NVIDIA GeForce 256 to GeForce4 card (NV1x/NV2x chips; it touches no other).\n"
           "Given clock or timing options, it applies them and ends; otherwise it shows the "
           "panel.\n"
           "\n"
           "Clock and timing options (capitals work too: C=, M=, T0=, T1=, T2=):\n"
           "  c=MHZ           core clock target, 80 to 400 MHz\n"
           "  m=MHZ           memory clock target, 80 to 800 MHz\n"
           "  t0=HEX          memory timing register 0 (0x100220), hexadecimal, 0x optional\n"
           "  t1=HEX          memory timing register 1 (0x100224)\n"
           "  t2=HEX          memory timing register 2 (0x100228)\n"
           "A clock out of its range and a malformed option are ignored; a timing of AAAAAAAA\n"
           "counts as not given. A clock not given keeps the card's current value.\n"
           "\n"
           "Other options:\n"
           "  --sim           use the built-in simulated card (a GeForce2 GTS); its state lasts\n"
           "                  for this run only\n"
           "  --sim=FILE      use the simulated card described by the profile FILE and save its\n"
           "                  state back to FILE at the end of the run; a FILE that does not\n"
           "                  exist yet is created from the built-in card\n"
           "  --trace=FILE    append every hardware access of this run to FILE\n"
           "  --ui=console    show the panel and messages on the terminal\n"
           "  --ui=qt         show them in windows (the default when a display is available)\n"
           "  --info          print the BIOS fields, the crystal, both clocks and the timings,\n"
           "                  then end; nothing is written to the card\n"
           "  --info --json   the same facts as one JSON object (docs/info-json.md)\n"
           "  --dry-run       read the card and print the plan: each register an apply would\n"
           "                  write, its value now and the value it would get, M, N, P and the\n"
           "                  clock they give next to the clock asked; nothing is written and\n"
           "                  no panel is shown\n"
           "  --strict        every argument that would be ignored (out of range, malformed,\n"
           "                  unknown, t0=AAAAAAAA, given twice) is an error: one line each,\n"
           "                  exit status 2, nothing touched; no GeForce exits with 3; the\n"
           "                  panel is never shown, so a clock or timing option is needed\n"
           "  --revert-after=SECONDS\n"
           "                  after an apply ask \"Keep these settings?\" (command line and\n"
           "                  console panel: on the terminal; Qt panel: a countdown dialog);\n"
           "                  anything but yes/Keep within SECONDS (1 to 600), or a signal,\n"
           "                  writes back what was read before\n"
           "  --crystal=KHZ   the board's crystal (13500, 14318, 25000 or 27000) where the\n"
           "                  straps leave it open (GeForce4: strap bit 22); one they rule out\n"
           "                  is an error\n"
           "  --explain-trace=FILE\n"
           "                  print the register reads and writes a trace FILE holds, run by\n"
           "                  run, and what each run changed; needs no card and no root\n"
           "  --help          print this text and end\n"
           "  --version       print the version and end\n"
           "\n"
           "On the real card the program needs root (or CAP_SYS_RAWIO) for the VGA I/O ports\n"
           "and /dev/mem. Exit status: 0 for every normal outcome, 255 when the panel file or\n"
           "the hardware (or simulator profile, or the trace to explain) cannot be used, 2 for\n"
           "an argument --strict refuses or a bad --revert-after, 3 for no GeForce under "
           "--strict.\n"
           "\n"
           "The panel's Preview button (console: preview) shows what Apply would write, as\n"
           "--dry-run does, and writes nothing.\n"
           "The console panel (--ui=console) reads its commands from standard input.\n"
           "The manual, with examples and what to do after a hang: man ruvuvuri\n";
}

}  // namespace ruvuvuri::app
