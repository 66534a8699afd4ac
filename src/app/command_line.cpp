// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/command_line.h"

namespace ruvuvuri::app {

std::vector<std::string> SplitCommandLine(std::string_view command_line) {
    const std::string_view line = command_line.substr(0, command_line.find('\0'));
    const auto blank_or_control = [&](std::size_t at) {
        return at < line.size() && static_cast<unsigned char>(line[at]) <= 0x20;
    };
    std::size_t i = 0;
    if (line.starts_with('"')) {
        const std::size_t closing = line.find('"', 1);
        i = closing == std::string_view::npos ? line.size() : closing + 1;
    } else {
        while (i < line.size() && !blank_or_control(i)) {
            ++i;
        }
    }
    while (blank_or_control(i)) {
        ++i;
    }
    std::vector<std::string> arguments;
    while ((i = line.find_first_not_of(" \t\r\n", i)) != std::string_view::npos) {
        std::string argument;
        bool quoted = false;
        bool escaped = false;  // an odd run of backslashes was just kept
        for (; i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t')); ++i) {
            if (line[i] != '"') {
                argument.push_back(line[i]);
            } else if (escaped) {
                argument.back() = '"';
            } else {
                quoted = !quoted;
            }
            escaped = line[i] == '\\' && !escaped;
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

std::string ProgramNameFromModulePath(std::string_view module_path) {
    const std::size_t cut = module_path.find_last_of("\\:");
    return std::string(cut == std::string_view::npos ? module_path : module_path.substr(cut + 1));
}

}  // namespace ruvuvuri::app
