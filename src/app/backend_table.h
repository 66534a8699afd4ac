// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/options.h"
#include "hw/backend.h"

namespace ruvuvuri::app {

// The record that serves the backend the command line chose: a simulated
// card's own, or for the real card the first of the host's records
// (host::HardwareBackends) that can run on this machine, or, when none can,
// the first one, whose open then says why.
const hw::BackendRecord& ChooseBackend(Backend choice);

}  // namespace ruvuvuri::app
