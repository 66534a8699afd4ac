// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

// The three fuzzed entry points, each driven from raw bytes and followed by the
// checks that hold for every input. A non-empty result names a broken
// invariant. The libFuzzer targets abort on it; the regression test replays
// the committed seeds and reproducers through the same functions in the normal
// build.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "app/options.h"
#include "card/bios_image.h"
#include "hw/backends/profile.h"

namespace ruvuvuri::fuzz {

// Bytes in, the first 8192 of them as the BIOS image, the rest of it zero.
inline std::string CheckCardImage(std::span<const std::uint8_t> bytes) {
    card::BiosImage bios;
    const std::size_t used = std::min(bytes.size(), card::kBiosImageSize);
    std::copy_n(bytes.begin(), used, bios.image().begin());

    const int verdict = bios.CheckBIOSinfo();
    const std::optional<std::uint16_t> device = bios.DeviceId();
    bios.RomWord54();
    bios.RomWord56();
    const std::string text = bios.BiosText();
    const std::string version = bios.BiosVersion();

    if (verdict != 0 && verdict != 1) {
        return "CheckBIOSinfo returned " + std::to_string(verdict);
    }
    if (verdict == 0 && (!device || *device < 0x0100)) {
        return "a GeForce verdict without a GeForce device ID";
    }
    if (text.size() > 8 || text.find('\0') != std::string::npos) {
        return "BiosText is longer than 8 bytes or holds a zero byte";
    }
    if (version.size() < 10 || version.size() > 11) {
        return "BiosVersion \"" + version + "\" is not of the form x.xx.xx.xx";
    }
    return {};
}

// The arguments, separated by NUL or newline bytes, after a program name.
inline std::vector<std::string> SplitArguments(std::span<const std::uint8_t> bytes) {
    std::vector<std::string> arguments{"ruvuvuri"};
    std::string current;
    for (const std::uint8_t byte : bytes) {
        if (byte == '\0' || byte == '\n') {
            arguments.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(byte));
        }
    }
    if (!current.empty()) {
        arguments.push_back(current);
    }
    return arguments;
}

inline std::string CheckOptions(std::span<const std::uint8_t> bytes) {
    const std::vector<std::string> arguments = SplitArguments(bytes);
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    const int argc = static_cast<int>(argv.size());
    argv.push_back(nullptr);

    const app::CommandLine line = app::ParseCommandLine(argc, argv.data());
    const app::ClockOptions& clocks = line.clocks;
    const auto within = [](double value, double low, double high) {
        return value == 0.0 || (value >= low && value <= high);
    };
    if (!within(clocks.memory_mhz, 80.0, 800.0) || !within(clocks.core_mhz, 80.0, 400.0)) {
        return "the range check kept a clock outside its range";
    }
    const app::RunOptions& run = line.run;
    if ((run.backend == app::Backend::ProfileSim) == run.profile_path.empty()) {
        return "a profile path without the profile backend, or the other way round";
    }
    if (line.warnings.size() > arguments.size() - 1) {
        return "more warnings than arguments";
    }
    for (const auto* notes : {&line.warnings, &line.strict_errors}) {
        for (const std::string& note : *notes) {
            if (note.empty() || note.find('\n') != std::string::npos) {
                return "a warning or strict error that is not one line";
            }
        }
    }
    return {};
}

// Profile text in. Only hw::ProfileError may come out of the parser: anything
// else leaves this function. A profile that parses must survive saving and
// loading again unchanged.
inline std::string CheckProfile(std::span<const std::uint8_t> bytes,
                                const std::filesystem::path& folder) {
    const std::string text(bytes.begin(), bytes.end());
    hw::CardState state;
    try {
        state = hw::ParseProfile(text, folder, "fuzz.json");
    } catch (const hw::ProfileError& error) {
        if (std::string(error.what()).empty()) {
            return "a ProfileError without a message";
        }
        return {};
    }
    const std::string saved = hw::FormatProfile(state);
    hw::CardState reloaded;
    try {
        reloaded = hw::ParseProfile(saved, folder, "fuzz.json");
    } catch (const hw::ProfileError& error) {
        return std::string("a saved profile does not load again: ") + error.what();
    }
    if (hw::FormatProfile(reloaded) != saved || reloaded.bios != state.bios) {
        return "a saved profile loads as a different card state";
    }
    return {};
}

}  // namespace ruvuvuri::fuzz
