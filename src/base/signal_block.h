// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>

namespace ruvuvuri::base {

// Holds off every blockable signal while a hardware sequence runs, so that no
// signal handler or default action (termination included) can stop it half way.
// Signals that arrive meanwhile stay pending and are delivered on Restore().
// Block() and Restore() make one system call each and never allocate.
class SignalBlock {
  public:
    void Block();
    void Restore();
    bool active() const { return active_; }

  private:
    // The mask Block() replaced, in storage the platform's file fills (a POSIX
    // sigset_t; nothing on Windows, which runs no signal handler inside a
    // thread). Plain bytes, so that this header names no platform type.
    static constexpr std::size_t kSavedMaskBytes = 128;
    alignas(8) unsigned char saved_[kSavedMaskBytes] = {};
    bool active_ = false;
};

}  // namespace ruvuvuri::base
