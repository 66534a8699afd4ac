// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ruvuvuri::app {

// Splits a Windows command line (as GetCommandLineA returns it, up to a NUL)
// into the arguments after the program name, by the rules the program has
// always used (tests/command_line_test.cpp shows each): the program name ends
// at its closing double quote, or unquoted at the first character of code 0x20
// or below, and every such character after it is skipped; arguments are
// separated by blanks, tabs, CRs and LFs and end at a blank or tab outside
// double quotes; a double quote after an odd run of backslashes replaces the
// last of them, any other toggles quoting and is removed.
std::vector<std::string> SplitCommandLine(std::string_view command_line);

// The program's name for argv[0]: the module path cut after its last '\' or ':'.
std::string ProgramNameFromModulePath(std::string_view module_path);

}  // namespace ruvuvuri::app
