#pragma once

#include "hw/signal_mask.h"

namespace ruvuvuri::hw {

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
    SavedSignalMask saved_{};
    bool active_ = false;
};

}  // namespace ruvuvuri::hw
