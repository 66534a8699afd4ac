#pragma once

#include <fstream>
#include <memory>
#include <optional>
#include <vector>

#include "app/options.h"
#include "app/run_lock.h"
#include "app/stop_signals.h"
#include "hw/backends/card_profile.h"
#include "hw/backends/sim_card.h"
#include "hw/backends/trace.h"
#include "hw/port_io.h"

namespace ruvuvuri::app {

// The hardware a run works on, chosen by the command line: the real ports, the
// built-in simulated card, or a simulated card kept in a profile file; with or
// without the access trace. Opening throws hw::PlatformError with a message that
// names the cause and the remedy.
class Platform {
  public:
    explicit Platform(const RunOptions& options);
    ~Platform();
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    hw::PortIo& io() { return *io_; }
    bool is_real_hardware() const { return hardware_ != nullptr; }

    // The simulated card outlives the run like real hardware does: its state is
    // written back to the profile. Nothing to do for the other backends.
    // Throws hw::PlatformError when the profile cannot be written. With a
    // profile, a SIGINT, SIGTERM or SIGHUP that arrived while nothing touched
    // the card (the console panel waiting for input ends as at the end of its
    // input) ends the process here, after the save, by that signal.
    void SaveCard();

  private:
    // The card's stop hook: a stop signal arrived. Records a fault if it took
    // effect inside the interrupt bracket, saves the card as it is and ends the
    // process by the signal.
    void StopBySignal();
    void RecordBracketFault();

    std::optional<RunLock> hardware_lock_;
    std::unique_ptr<hw::PortIo> hardware_;
    std::optional<hw::ProfileSession> profile_;
    std::unique_ptr<hw::SimCard> sim_;
    std::optional<StopSignals> stop_signals_;  // only with a profile
    // Large enough that the lines of a whole interrupt bracket fit: the trace
    // is flushed when the bracket closes, never by a full buffer inside it
    // (where, with interrupts really off, a file write could hang the machine).
    std::vector<char> trace_buffer_;
    std::ofstream trace_file_;
    std::unique_ptr<hw::TraceIo> trace_;
    hw::PortIo* io_ = nullptr;
};

}  // namespace ruvuvuri::app
