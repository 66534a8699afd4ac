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

// The record that serves the backend the command line chose: a simulated
// card's own, or for the real card the first of the host's records
// (host::HardwareBackends) that can run on this machine, or, when none can,
// the first one, whose open then says why.
const hw::BackendRecord& ChooseBackend(Backend choice);

// The hardware a run works on: the record the command line chose, opened, with
// the access trace around it when one was asked for.
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
    hw::OpenedBackend& backend() { return *backend_; }
    // The guard of settings applied at start, opened for --at-boot and
    // --at-shutdown (with the rights the backend's files need); nullptr for a
    // card that lives only for the run.
    std::unique_ptr<hw::RecordFile> TakeBootGuard() { return std::move(boot_guard_); }

    // Once the hardware work is done: a simulated card kept in a profile is
    // written back, like real hardware keeps its state, then the trace is
    // checked. Throws hw::PlatformError when either could not be written.
    void Save();

  private:
    void OpenBackend();

    const hw::BackendRecord& record_;
    std::string profile_path_;
    std::string trace_path_;
    bool guarded_;
    std::unique_ptr<hw::RecordFile> boot_guard_;
    // Destroyed in reverse: the trace's decorator, the backend, then the file.
    std::optional<hw::TraceFile> trace_file_;
    std::unique_ptr<hw::OpenedBackend> backend_;
    std::unique_ptr<hw::TraceIo> trace_;
    hw::PortIo* io_ = nullptr;
};

}  // namespace ruvuvuri::app
