#pragma once

#include "app/options.h"
#include "hw/backend.h"

namespace ruvuvuri::app {

// The record that serves the backend the command line chose: for the real
// card, the first hardware record that can run on this machine (or, when none
// can, the first one, whose open then says why).
const hw::BackendRecord& ChooseBackend(Backend choice);

}  // namespace ruvuvuri::app
