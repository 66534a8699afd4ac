// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/options.h"
#include "hw/backend.h"
#include "hw/backends/trace.h"
#include "hw/port_io.h"

namespace ruvuvuri::app {

// The hardware a run works on: the backend record the command line chose (see
// backend_table), opened, with the access trace around it when one was asked
// for.
//
// Opened in two steps, with root given up in between: the constructor opens a
// record that needs root (port access, /dev/mem, the hardware lock) and opens
// no path a user named; OpenUserFiles() then opens any other record (a profile
// and the BIOS file it names) and the trace with the rights of whoever the
// run now is. Both throw hw::PlatformError with a message that names the cause
// and the remedy.
class Platform {
  public:
    explicit Platform(const RunOptions& options);
    void OpenUserFiles();
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
    void FlushTrace();

    const hw::BackendRecord& record_;
    hw::BackendRequest request_;
    std::string trace_path_;
    // Destroyed in reverse: the trace's decorator, the backend, then the file.
    std::optional<hw::TraceFile> trace_file_;
    std::unique_ptr<hw::OpenedBackend> backend_;
    std::unique_ptr<hw::TraceIo> trace_;
    hw::PortIo* io_ = nullptr;
};

}  // namespace ruvuvuri::app
