// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <csignal>

namespace ruvuvuri::base {

// Holds off every blockable signal on the calling thread while a hardware
// sequence runs, so that no handler or default action (termination included)
// can stop it half way; they are delivered on Restore(). Block() and Restore()
// make one system call each and never allocate.
class SignalBlock {
  public:
    void Block();
    void Restore();
    bool active() const { return active_; }

  private:
    sigset_t saved_{};
    bool active_ = false;
};

}  // namespace ruvuvuri::base
