// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "app/options.h"
#include "clock/change_plan.h"
#include "clock/clock_engine.h"

namespace ruvuvuri::app {

// Exit statuses of the extensions: an option --strict refuses, or a bad value
// of --revert-after; no GeForce under --strict.
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoGeForce = 3;

// --explain-trace=FILE: reads the trace and prints what it did. Opens the file
// with the rights the run has when called (after root is given up). 0, or -1
// with one line on stderr when the file cannot be read.
int ExplainTraceFile(const std::string& path);

// --dry-run: prints the plan of `targets` on stdout, or, when the card must not
// be written (`refusal` says why), that an apply would write nothing. Reads the
// PLL select register when clocks would change; writes nothing.
void PrintDryRun(clock::ClockEngine& engine, const clock::ChangeTargets& targets,
                 const std::string& refusal);

// The name of the backend record a run with this choice opens, for --info --json.
std::string BackendName(Backend backend);

}  // namespace ruvuvuri::app
