// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ruvuvuri::app {

// Splits a Windows command line (as GetCommandLineA returns it) into the
// arguments after the program name, by the rules the program has always used:
//
// - The program name ends at its closing double quote when it starts with one,
//   otherwise at the first character of code 0x20 or below; every character of
//   code 0x20 or below after it is skipped.
// - Blanks, tabs, carriage returns and line feeds separate arguments; an
//   argument ends at a blank or tab outside double quotes, so a carriage return
//   or line feed inside an argument stays in it.
// - A backslash is kept and toggles an escape state. A double quote in the
//   escape state replaces the backslash just kept by a literal double quote
//   (so it neither opens nor closes quoting); any other double quote toggles
//   quoting and is removed. Every double quote clears the escape state, every
//   other character is kept and clears it.
//
// A NUL character ends the command line, as it ends the C string the system
// hands over.
std::vector<std::string> SplitCommandLine(std::string_view command_line);

// The program's name for argv[0]: the module path cut after its last '\' or ':'.
std::string ProgramNameFromModulePath(std::string_view module_path);

}  // namespace ruvuvuri::app
