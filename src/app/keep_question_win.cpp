// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/keep_question.h"

// Windows: the program is a GUI program with no controlling terminal, and a
// console window's close box or logoff ends it after a few seconds however its
// handler answers, so no change could be held unconfirmed and still be
// reverted for sure. --revert-after is refused before anything is touched
// (host_win.cpp); nothing here is ever reached with a terminal.
namespace ruvuvuri::app {

struct HeldStopSignals::Mask {};

HeldStopSignals::HeldStopSignals() = default;
HeldStopSignals::~HeldStopSignals() = default;

std::unique_ptr<Terminal> Terminal::Open(const char*, std::string* why) {
    *why = "Windows gives this program no terminal to ask on";
    return nullptr;
}

Terminal::~Terminal() = default;

// Never asked (no terminal opens); a change is not kept unless confirmed.
bool Terminal::AskToKeep(int, int) {
    return false;
}

void Terminal::Say(const std::string&) {}

}  // namespace ruvuvuri::app
