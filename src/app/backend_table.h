// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <span>

#include "app/options.h"
#include "hw/backend.h"

namespace ruvuvuri::app {

// One row of the backend table: a record and the command-line choice it serves.
struct BackendEntry {
    Backend choice;
    const hw::BackendRecord& record;
};

// Every backend a run can work on here, as libpci lists its access methods,
// the real-hardware ones in order of preference. One list per platform
// (backend_records.cpp, backend_records_win.cpp); every choice has at least
// one record (backend_table_test).
std::span<const BackendEntry> BackendTable();

// The record that serves the backend the command line chose: for the real
// card, the first hardware record that can run on this machine (or, when none
// can, the first one, whose open then says why).
const hw::BackendRecord& ChooseBackend(Backend choice);

}  // namespace ruvuvuri::app
