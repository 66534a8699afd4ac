// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/stop_signals.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>

namespace ruvuvuri::app {
namespace {

// Whose default action ends the process; SIGRTMIN and SIGRTMAX are not
// constants, so the real-time ones are added at run time.
constexpr int kClassicStopSignals[] = {
    SIGINT,  SIGTERM, SIGHUP,  SIGPIPE,   SIGQUIT, SIGALRM, SIGUSR1,   SIGUSR2,
    SIGXCPU, SIGXFSZ, SIGPROF, SIGVTALRM, SIGIO,   SIGPWR,  SIGSTKFLT,
};

int end_of_input = -1;  // /dev/null, to put in place of stdin; set before the handlers

// Async-signal-safe: loads, stores and dup2. The first signal wins; a second
// one while the run is saving does not change what is reported.
//
// A read of stdin that the signal interrupts fails with EINTR, which ends the
// console panel as at the end of its input. A signal that comes just before
// the read, though, would leave the read waiting for a line that may never
// come; with /dev/null in place of stdin that read, and every later one, sees
// the end of the input at once.
extern "C" void OnStopSignal(int signal) {
    if (!StopSignals::Record(signal)) {
        return;
    }
    const int saved_errno = errno;
    if (end_of_input >= 0) {
        dup2(end_of_input, STDIN_FILENO);
    }
    errno = saved_errno;
}

}  // namespace

struct StopSignals::SavedActions {
    struct sigaction actions[kMaxCount] = {};
};

StopSignals::StopSignals(const volatile std::sig_atomic_t* bracket_open)
    : previous_(std::make_unique<SavedActions>()) {
    record_.signal = 0;
    record_.in_bracket = 0;
    record_.bracket_open = bracket_open;
    end_of_input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);

    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    // No SA_RESTART: a read of the console panel's input ends with EINTR, so
    // the panel ends as at the end of its input.
    action.sa_flags = 0;
    for (const int signal : kClassicStopSignals) {
        signals_[count_++] = signal;
    }
    for (int signal = SIGRTMIN; signal <= SIGRTMAX && count_ < kMaxCount; ++signal) {
        signals_[count_++] = signal;
    }
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < count_; ++i) {
        sigaddset(&action.sa_mask, signals_[i]);
    }
    for (int i = 0; i < count_; ++i) {
        struct sigaction& previous = previous_->actions[i];
        sigaction(signals_[i], nullptr, &previous);
        if (previous.sa_handler == SIG_IGN) {
            continue;  // whoever started us asked for it to be ignored
        }
        ours_[i] = sigaction(signals_[i], &action, nullptr) == 0;
    }
}

StopSignals::~StopSignals() {
    for (int i = 0; i < count_; ++i) {
        if (ours_[i]) {
            sigaction(signals_[i], &previous_->actions[i], nullptr);
            ours_[i] = false;
        }
    }
    record_.bracket_open = nullptr;
    if (end_of_input >= 0) {
        ::close(end_of_input);
        end_of_input = -1;
    }
    if (std::uncaught_exceptions() == 0) {
        EndByPendingSignal();
    }
    record_.signal = 0;
    record_.in_bracket = 0;
}

std::string StopSignals::SignalName(int signal) {
    if (const char* abbreviation = sigabbrev_np(signal)) {
        return std::string("SIG") + abbreviation;
    }
    if (signal >= SIGRTMIN && signal <= SIGRTMAX) {
        return "SIGRTMIN+" + std::to_string(signal - SIGRTMIN);
    }
    return "unknown";
}

void StopSignals::EndByPendingSignal() const {
    const int signal = record_.signal;
    if (signal == 0) {
        return;
    }
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(signal, &default_action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    // Not reached: the default action of every caught signal ends the process.
    _exit(128 + signal);
}

}  // namespace ruvuvuri::app
