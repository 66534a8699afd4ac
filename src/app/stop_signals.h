// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <csignal>
#include <memory>
#include <string>

namespace ruvuvuri::app {

// Every signal whose default action ends the process and that can be caught
// without harm (SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT, SIGALRM, the user
// and real-time signals, ...), caught for a run on a simulated card kept in a
// profile: the card stands for hardware whose state outlives the process, so
// such a run must save the card before it ends. The handler only records which
// signal arrived and whether the card's interrupt bracket was open at that
// moment (which the bracket, by holding off every signal, should make
// impossible); the run acts on it at its next stop point, outside the handler,
// and then ends with the signal's default action. The handler also puts
// /dev/null in place of stdin, so a console panel waiting for a command sees
// the end of its input and the run goes on to save the card. A SIGPIPE from a
// closed stdout thus ends the console panel as well.
//
// Left alone: the faults a program raises on itself (SIGSEGV, SIGBUS, SIGFPE,
// SIGILL, SIGTRAP, SIGSYS, SIGABRT), whose handler could not return to a run
// worth saving, and SIGKILL and SIGSTOP, which cannot be caught.
//
// Signals the process inherited as ignored (nohup, background jobs) stay
// ignored. One object at a time: the handler reaches its record through the
// one static variable it can see.
class StopSignals {
  public:
    // Installs the handlers. `bracket_open` (may be null) is read by the
    // handler: non-zero while the card's interrupt bracket is open.
    explicit StopSignals(const volatile std::sig_atomic_t* bracket_open);
    // Puts the previous handlers back. A signal that arrived and was not acted
    // on then ends the process, unless an exception is unwinding (the caller
    // has an error to report first).
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The number of the first signal that arrived, 0 while none has.
    const volatile std::sig_atomic_t* pending_flag() const { return &record_.signal; }
    int pending() const { return record_.signal; }
    // Whether that signal's handler ran while the bracket was open.
    bool took_effect_in_bracket() const { return record_.signal != 0 && record_.in_bracket != 0; }
    // E.g. "signal 2 (SIGINT) took effect inside the interrupt bracket".
    std::string BracketFaultText() const {
        return "signal " + std::to_string(record_.signal) + " (" + SignalName(record_.signal) +
               ") took effect inside the interrupt bracket";
    }

    // Ends the process as the pending signal would have without a handler:
    // default action restored, the signal unblocked and raised. Does nothing
    // when no signal is pending.
    void EndByPendingSignal() const;

    // The platform's handler calls this alone, async-signal-safe: the first
    // signal wins, and whether the bracket was open at that moment is kept with
    // it. False when a signal was recorded before.
    static bool Record(int signal) {
        if (record_.signal != 0) {
            return false;
        }
        const volatile std::sig_atomic_t* open = record_.bracket_open;
        record_.in_bracket = (open != nullptr && *open != 0) ? 1 : 0;
        record_.signal = signal;
        return true;
    }

    // Room for the classic terminating signals and every real-time one.
    static constexpr int kMaxCount = 64;

  private:
    static std::string SignalName(int signal);

    // A signal handler can reach nothing but static state, so this (with the
    // POSIX handler's stdin stand-in) is the program's one mutable global: two
    // sig_atomic_t fields, and a pointer set before the handlers are installed.
    // Static storage: all zero at start.
    struct HandlerRecord {
        volatile std::sig_atomic_t signal;
        volatile std::sig_atomic_t in_bracket;
        const volatile std::sig_atomic_t* bracket_open;
    };
    static inline HandlerRecord record_;

    int count_ = 0;
    int signals_[kMaxCount] = {};
    bool ours_[kMaxCount] = {};  // our handler replaced this disposition
    // The dispositions our handler replaced, in the platform's own form.
    struct SavedActions;
    std::unique_ptr<SavedActions> previous_;
};

}  // namespace ruvuvuri::app
