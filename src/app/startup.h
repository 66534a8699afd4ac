// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "app/keep_question.h"
#include "app/options.h"
#include "card/bios_image.h"
#include "hw/backend.h"
#include "hw/port_io.h"

namespace ruvuvuri::app {

// Exit statuses besides 0 and -1: an argument --strict refuses, a bad value of
// --revert-after or --crystal; no GeForce (or a chip not set) under --strict.
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoGeForce = 3;
// --at-boot found the guard of a start that never shut down cleanly.
inline constexpr int kExitGuarded = 4;

// The whole run of the program: options, the hardware, the card check, the
// command-line options or the panel. Returns the process exit status: 0 in
// every normal outcome (a missing GeForce included), -1 when the platform
// cannot be started, the card must not be written or the panel file cannot be
// loaded.
int RunProgram(int argc, char** argv);

// Where a change asks to be kept (--revert-after): the controlling terminal,
// or, when it cannot be opened, why not; only a panel that asks in a dialog of
// its own (Qt) can then keep a change.
struct KeepQuestion {
    int seconds = 0;  // 0: no question, changes are kept at once
    Terminal* terminal = nullptr;
    std::string no_terminal;
};

// Everything after the BIOS image has been read, on whatever `io` reaches:
// the card check and the chip (no port is touched before both have passed),
// the readout, then --info, --dry-run, the clock and timing options, --restore
// or the panel. `backend` keeps the clocks the card started with; a
// `boot_guard` is marked before the first write. The exit status.
int RunOnCard(const card::BiosImage& bios, hw::PortIo& io, const CommandLine& line,
              const KeepQuestion& keep = {}, hw::OpenedBackend* backend = nullptr,
              hw::RecordFile* boot_guard = nullptr);

// --explain-trace=FILE: reads the trace and prints what it did, with the rights
// the run has when called (after root is given up). 0, or -1 with one line on
// stderr when the file cannot be read.
int ExplainTraceFile(const std::string& path);

}  // namespace ruvuvuri::app
