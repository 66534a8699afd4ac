#pragma once

#include <memory>
#include <optional>

#include "app/options.h"
#include "app/run_lock.h"
#include "app/stop_signals.h"
#include "hw/backends/card_profile.h"
#include "hw/backends/sim_backend.h"
#include "hw/backends/trace.h"
#include "hw/port_io.h"

namespace ruvuvuri::app {

// The hardware a run works on, chosen by the command line: the real ports, the
// built-in simulated card, or a simulated card kept in a profile file; with or
// without the access trace.
//
// Opened in two steps, with root given up in between: the constructor takes
// only what needs root (port access, /dev/mem, the hardware lock) and opens no
// path a user named; OpenUserFiles() then opens the profile (and the BIOS file
// it names) and the trace with the rights of whoever the run now is. Both
// throw hw::PlatformError with a message that names the cause and the remedy.
class Platform {
  public:
    explicit Platform(const RunOptions& options);
    void OpenUserFiles();
    ~Platform();
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    // Valid once OpenUserFiles() has run.
    hw::PortIo& io() { return *io_; }

    // The simulated card outlives the run like real hardware does: its state is
    // written back to the profile. Nothing to do for the other backends.
    // Throws hw::PlatformError when the profile cannot be written, or when a
    // part of the trace could not be (after the card is saved). With a
    // profile, a stop signal (see StopSignals) that arrived while nothing touched
    // the card (the console panel waiting for input ends as at the end of its
    // input) ends the process here, after the save, by that signal.
    void SaveCard();

  private:
    // The card's stop hook: a stop signal arrived. Records a fault if it took
    // effect inside the interrupt bracket, saves the card as it is and ends the
    // process by the signal.
    void StopBySignal();
    void RecordBracketFault();

    RunOptions options_;
    std::optional<RunLock> hardware_lock_;
    std::unique_ptr<hw::PortIo> hardware_;
    std::optional<hw::ProfileSession> profile_;
    std::unique_ptr<hw::SimBackend> sim_;
    std::optional<StopSignals> stop_signals_;  // only with a profile
    std::optional<hw::TraceFile> trace_file_;
    std::unique_ptr<hw::TraceIo> trace_;
    hw::PortIo* io_ = nullptr;
};

}  // namespace ruvuvuri::app
