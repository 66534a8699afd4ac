// SPDX-License-Identifier: GPL-2.0-or-later
#include <windows.h>

#include <exception>

#include "app/stop_signals.h"

// The console events that end a program on Windows (Ctrl+C, Ctrl+Break, the
// console window closed, logoff, shutdown), handled like the stop signals on
// POSIX systems: the handler, which Windows runs on a thread of its own, only
// records the event; the run saves the card at its next stop point and ends.
namespace ruvuvuri::app {
namespace {

// How long a close, logoff or shutdown event waits for the run to save the card
// and end; Windows ends the process when the handler returns.
constexpr DWORD kCloseGraceMs = 4000;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    StopSignals::Record(interrupt ? SIGINT : SIGTERM);
    if (!interrupt) {
        Sleep(kCloseGraceMs);
    }
    return TRUE;
}

}  // namespace

// Windows keeps one list of console handlers; nothing to save per signal.
struct StopSignals::SavedActions {};

StopSignals::StopSignals(const volatile std::sig_atomic_t* bracket_open) {
    record_.signal = 0;
    record_.in_bracket = 0;
    record_.bracket_open = bracket_open;
    ours_[0] = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != FALSE;
}

StopSignals::~StopSignals() {
    if (ours_[0]) {
        SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    }
    if (std::uncaught_exceptions() == 0) {
        EndByPendingSignal();
    }
    record_.signal = 0;
    record_.in_bracket = 0;
}

std::string StopSignals::SignalName(int signal) {
    return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "unknown";
}

void StopSignals::EndByPendingSignal() const {
    if (record_.signal == 0) {
        return;
    }
    // The exit status Windows gives a program that Ctrl+C ended.
    ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}

}  // namespace ruvuvuri::app
