// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

namespace ruvuvuri::app {

// The whole run of the program: options, the hardware, the card check, the
// command-line options or the panel. Returns the process exit status: 0 in
// every normal outcome (a missing GeForce included), -1 when the platform
// cannot be started or the panel file cannot be loaded.
int RunProgram(int argc, char** argv);

}  // namespace ruvuvuri::app
