// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/command_line.h"

namespace ruvuvuri::app {
namespace {

bool IsControlOrBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

bool SeparatesArguments(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool EndsArgument(char c) {
    return c == ' ' || c == '\t';
}

// Where the arguments start: after the program name and the control characters
// and blanks that follow it.
std::size_t SkipProgramName(std::string_view line) {
    std::size_t i = 0;
    if (!line.empty() && line.front() == '"') {
        const std::size_t closing = line.find('"', 1);
        i = closing == std::string_view::npos ? line.size() : closing + 1;
    } else {
        while (i < line.size() && !IsControlOrBlank(line[i])) {
            ++i;
        }
    }
    while (i < line.size() && IsControlOrBlank(line[i])) {
        ++i;
    }
    return i;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view command_line) {
    const std::string_view line = command_line.substr(0, command_line.find('\0'));
    std::vector<std::string> arguments;
    std::size_t i = SkipProgramName(line);
    for (;;) {
        while (i < line.size() && SeparatesArguments(line[i])) {
            ++i;
        }
        if (i == line.size()) {
            return arguments;
        }
        std::string argument;
        bool quoted = false;
        bool escaped = false;  // an odd run of backslashes was just kept
        for (; i < line.size() && !(EndsArgument(line[i]) && !quoted); ++i) {
            const char c = line[i];
            if (c == '\\') {
                argument.push_back(c);
                escaped = !escaped;
            } else if (c == '"') {
                if (escaped) {
                    argument.back() = '"';
                } else {
                    quoted = !quoted;
                }
                escaped = false;
            } else {
                argument.push_back(c);
                escaped = false;
            }
        }
        arguments.push_back(std::move(argument));
    }
}

std::string ProgramNameFromModulePath(std::string_view module_path) {
    const std::size_t cut = module_path.find_last_of("\\:");
    return std::string(cut == std::string_view::npos ? module_path : module_path.substr(cut + 1));
}

}  // namespace ruvuvuri::app
