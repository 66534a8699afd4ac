#include "app/platform.h"

#include <cstdio>

#include "app/builtin_card.h"
#include "app/profile_seed.h"
#include "hw/backends/linux_io.h"

namespace ruvuvuri::app {

Platform::Platform(const RunOptions& options) : options_(options) {
    if (options_.backend == Backend::Hardware) {
        hardware_ = hw::OpenLinuxIo();
        // One run at a time on the real card: two interleaved register window
        // sequences would corrupt each other's accesses.
        hardware_lock_.emplace();
    }
}

void Platform::OpenUserFiles() {
    switch (options_.backend) {
        case Backend::Hardware:
            io_ = hardware_.get();
            break;
        case Backend::BuiltInSim:
            sim_ = std::make_unique<hw::SimBackend>(BuiltinGeForce2Gts());
            io_ = &sim_->io();
            break;
        case Backend::ProfileSim:
            if (const auto seeded = SeedProfileIfMissing(options_.profile_path)) {
                std::fprintf(stderr, "ruvuvuri: %s\n", SeededProfileNotice(*seeded).c_str());
            }
            profile_.emplace(options_.profile_path);
            sim_ = std::make_unique<hw::SimBackend>(profile_->loaded());
            // From here on a stop signal saves the card before the run ends.
            stop_signals_.emplace(sim_->stop_points().bracket_open_flag());
            sim_->stop_points().set_stop_point(stop_signals_->pending_flag(),
                                               [this] { StopBySignal(); });
            io_ = &sim_->io();
            break;
    }
    if (!options_.trace_path.empty()) {
        trace_file_.emplace(options_.trace_path);
        trace_ = std::make_unique<hw::TraceIo>(*io_, trace_file_->stream());
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
        trace_file_->stream().flush();
    }
    if (profile_ && sim_) {
        RecordBracketFault();
        profile_->Save(sim_->state());
    }
    if (trace_file_) {
        trace_file_->CheckWritten();
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
        trace_file_->stream().flush();
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
