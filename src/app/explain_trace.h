// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "hw/window_decoder.h"

namespace ruvuvuri::app {

// A decoded trace as text: for each run in it, every card register read and
// write with the register's name (PLL words with M, N, P and the clock they
// give from the crystal the run read), the interrupt bracket and the CR1F
// unlock, then what the run changed: each register written, from the value
// first read to the value last written.
std::string ExplainTrace(const hw::DecodedTrace& trace);

}  // namespace ruvuvuri::app
