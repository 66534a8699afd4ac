#include "app/platform.h"

#include <cerrno>
#include <cstring>

#include "hw/backends/linux_io.h"

namespace ruvuvuri::app {

Platform::Platform(const RunOptions& options) {
    switch (options.backend) {
        case Backend::Hardware:
            hardware_ = hw::OpenLinuxIo();
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
            io_ = sim_.get();
            break;
    }
    if (!options.trace_path.empty()) {
        trace_file_.open(options.trace_path, std::ios::app);
        if (!trace_file_) {
            throw hw::PlatformError("cannot write the trace file " + options.trace_path + " (" +
                                    std::strerror(errno) +
                                    "); give --trace a path in a writable folder");
        }
        trace_ = std::make_unique<hw::TraceIo>(*io_, trace_file_);
        io_ = trace_.get();
    }
}

Platform::~Platform() = default;

void Platform::SaveCard() {
    if (trace_) {
        trace_file_.flush();
    }
    if (profile_ && sim_) {
        profile_->Save(sim_->state());
    }
}

}  // namespace ruvuvuri::app
