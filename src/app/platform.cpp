// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/platform.h"

#include "app/backend_table.h"

namespace ruvuvuri::app {

Platform::Platform(const RunOptions& options)
    : record_(ChooseBackend(options.backend)), trace_path_(options.trace_path) {
    request_.profile_path = options.profile_path;
    request_.before_signal_end = [this] { FlushTrace(); };
    if (record_.needs_root) {
        backend_ = record_.open(request_);
    }
}

void Platform::OpenUserFiles() {
    if (!backend_) {
        backend_ = record_.open(request_);
    }
    io_ = &backend_->io();
    // The trace wraps whichever backend the run has.
    if (!trace_path_.empty()) {
        trace_file_.emplace(trace_path_);
        trace_ = std::make_unique<hw::TraceIo>(*io_, trace_file_->stream());
        io_ = trace_.get();
    }
}

void Platform::FlushTrace() {
    if (trace_) {
        trace_file_->stream().flush();
    }
}

void Platform::SaveCard() {
    FlushTrace();
    backend_->SaveCard();
    if (trace_file_) {
        trace_file_->CheckWritten();
    }
    backend_->EndByPendingSignal();
}

}  // namespace ruvuvuri::app
