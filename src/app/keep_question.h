// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <string>

#include "clock/clock_engine.h"
#include "ui/ui_engine.h"

namespace ruvuvuri::app {

// The signals that would end or stop the run (SIGINT, SIGTERM, SIGHUP,
// SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGTSTP), held while a change waits for its
// confirmation and while it is reverted, so that none can leave the new clocks
// running unconfirmed. fd() becomes readable when one arrives; the destructor
// puts the signal mask back, and a signal that arrived is then delivered as it
// would have been: after the card holds what it should.
class HeldStopSignals {
  public:
    HeldStopSignals();
    ~HeldStopSignals();
    HeldStopSignals(const HeldStopSignals&) = delete;
    HeldStopSignals& operator=(const HeldStopSignals&) = delete;

    int fd() const { return fd_; }

  private:
    int fd_ = -1;
    struct Mask;
    std::unique_ptr<Mask> saved_;
};

// The controlling terminal, where a change asks to be kept. Not stdin, so a
// script feeding the program cannot confirm by accident.
class Terminal {
  public:
    virtual ~Terminal() = default;

    // Drops what was typed before, asks "Keep these settings? Reverting in N
    // s" and waits up to `seconds` for a line. True only for "y" or "yes"
    // (any case); false for any other line, the end of the input, the time
    // running out, or `signal_fd` becoming readable.
    virtual bool AskToKeep(int seconds, int signal_fd) = 0;
    virtual void Say(const std::string& line) = 0;
};

// Opens the terminal at `path` (POSIX only: Windows gives the program none);
// nullptr, with the reason in `why`, when it cannot be opened.
std::unique_ptr<Terminal> OpenTerminal(const char* path, std::string* why);

// Asks on the terminal whether to keep a change just applied; anything but a
// yes within `seconds` (another answer, the time running out, a stop signal)
// writes back exactly what `before` holds (ClockEngine::Restore). Then the card
// is read again and the terminal told what it runs at. Stop signals are held
// from the question to the end of that read, so that none can end the run
// between the change and its revert; one that arrived is delivered afterwards.
// Returns the new reading.
const clock::ClockReading& ConfirmOrRevert(clock::ClockEngine& engine,
                                           const clock::ClockReading& before, Terminal& terminal,
                                           int seconds);

// The same for a panel that asks itself (the Qt panel's countdown dialog,
// UiEngine::TimedConfirmPopup), with the stop signals held the same way: one
// that arrives during the question answers it no. After a revert a popup says
// what the card runs at; after a keep the panel's status line does.
const clock::ClockReading& ConfirmOrRevert(clock::ClockEngine& engine,
                                           const clock::ClockReading& before, ui::UiEngine& ui,
                                           int seconds);

// The question, with %d for the seconds left.
inline constexpr const char* kKeepQuestionFormat = "Keep these settings? Reverting in %d s";

}  // namespace ruvuvuri::app
