#include "app/platform.h"

#include <cerrno>

#include "base/error_text.h"
#include "hw/backends/hardware_io.h"

namespace ruvuvuri::app {

Platform::Platform(const RunOptions& options) {
    switch (options.backend) {
        case Backend::Hardware:
            hardware_ = hw::OpenHardwareIo();
            // One run at a time on the real card: two interleaved register
            // window sequences would corrupt each other's accesses.
            hardware_lock_.emplace();
            io_ = hardware_.get();
            break;
        case Backend::BuiltInSim:
            sim_ = std::make_unique<hw::SimCard>(hw::BuiltinGeForce2Gts());
            io_ = sim_.get();
            break;
        case Backend::ProfileSim:
            profile_.emplace(options.profile_path);
            sim_ = std::make_unique<hw::SimCard>(profile_->loaded());
            // From here on a stop signal saves the card before the run ends.
            stop_signals_.emplace(sim_->bracket_open_flag());
            sim_->set_stop_point(stop_signals_->pending_flag(), [this] { StopBySignal(); });
            io_ = sim_.get();
            break;
    }
    if (!options.trace_path.empty()) {
        trace_buffer_.resize(64 * 1024);
        trace_file_.rdbuf()->pubsetbuf(trace_buffer_.data(),
                                       static_cast<std::streamsize>(trace_buffer_.size()));
        trace_file_.open(options.trace_path, std::ios::app);
        if (!trace_file_) {
            throw hw::PlatformError("cannot write the trace file " + options.trace_path + " (" +
                                    base::ErrorText(errno) +
                                    "); give --trace a path in a writable folder");
        }
        trace_ = std::make_unique<hw::TraceIo>(*io_, trace_file_);
        io_ = trace_.get();
    }
}

// The card goes before the handlers: nothing can stop at its stop points once
// the handlers are gone.
Platform::~Platform() {
    trace_.reset();
    sim_.reset();
    stop_signals_.reset();
}

void Platform::SaveCard() {
    if (trace_) {
        trace_file_.flush();
    }
    if (profile_ && sim_) {
        RecordBracketFault();
        profile_->Save(sim_->state());
    }
    if (stop_signals_) {
        stop_signals_->EndByPendingSignal();
    }
}

void Platform::RecordBracketFault() {
    if (stop_signals_ && stop_signals_->took_effect_in_bracket()) {
        sim_->state().faults.push_back(stop_signals_->BracketFaultText());
    }
}

void Platform::StopBySignal() {
    if (trace_) {
        trace_file_.flush();
    }
    RecordBracketFault();
    try {
        profile_->Save(sim_->state());
    } catch (const hw::PlatformError&) {
        // The folder was writable when the run began; should it no longer be,
        // the profile keeps the state it had, whole, and the signal still ends
        // the run.
    }
    stop_signals_->EndByPendingSignal();
}

}  // namespace ruvuvuri::app
