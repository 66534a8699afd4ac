// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/platform.h"

#include "app/host.h"
#include "app/sim_backends.h"

namespace ruvuvuri::app {

const hw::BackendRecord& ChooseBackend(Backend choice) {
    if (choice == Backend::BuiltInSim) {
        return kBuiltInSimBackend;
    }
    if (choice == Backend::ProfileSim) {
        return kProfileSimBackend;
    }
    const std::span<const hw::BackendRecord* const> records = host::HardwareBackends();
    for (const hw::BackendRecord* record : records) {
        if (record->detect()) {
            return *record;
        }
    }
    return *records.front();
}

Platform::Platform(const RunOptions& options)
    : record_(ChooseBackend(options.backend)),
      profile_path_(options.profile_path),
      trace_path_(options.trace_path),
      guarded_(options.at_boot || options.at_shutdown) {
    if (record_.needs_root) {
        OpenBackend();
    }
}

void Platform::OpenBackend() {
    backend_ = record_.open(profile_path_);
    if (guarded_) {
        boot_guard_ = backend_->OpenBootGuard();
    }
}

void Platform::OpenUserFiles() {
    if (!backend_) {
        OpenBackend();
    }
    io_ = &backend_->io();
    // The trace wraps whichever backend the run has.
    if (!trace_path_.empty()) {
        trace_file_.emplace(trace_path_);
        trace_ = std::make_unique<hw::TraceIo>(*io_, trace_file_->stream());
        io_ = trace_.get();
    }
}

void Platform::Save() {
    if (trace_file_) {
        trace_file_->stream().flush();
    }
    backend_->Save();
    if (trace_file_) {
        trace_file_->CheckWritten();
    }
}

}  // namespace ruvuvuri::app
