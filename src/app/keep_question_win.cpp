// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/keep_question.h"

// Windows: the program is a GUI program with no controlling terminal, and a
// console window's close box or logoff ends it after a few seconds however its
// handler answers, so no change could be held unconfirmed and still be
// reverted for sure. --revert-after is refused before anything is touched
// (host_win.cpp), so no terminal is ever opened and nothing is held.
namespace ruvuvuri::app {

struct HeldStopSignals::Mask {};

HeldStopSignals::HeldStopSignals() = default;
HeldStopSignals::~HeldStopSignals() = default;

}  // namespace ruvuvuri::app
