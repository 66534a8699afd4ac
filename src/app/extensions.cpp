// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/extensions.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "app/explain_trace.h"
#include "app/plan_text.h"
#include "base/printable.h"
#include "hw/window_decoder.h"

namespace ruvuvuri::app {

int ExplainTraceFile(const std::string& path) {
    std::ifstream in(path);
    const std::string shown = base::Printable(path);
    if (!in) {
        std::fprintf(stderr, "ruvuvuri: cannot read the trace %s (%s); check the file name\n",
                     shown.c_str(), std::strerror(errno));
        return -1;
    }
    const hw::DecodedTrace trace = hw::DecodeWindowTrace(in);
    for (const std::string& problem : trace.problems) {
        std::fprintf(stderr, "ruvuvuri: %s: %s; skipped\n", shown.c_str(), problem.c_str());
    }
    std::fputs(ExplainTrace(trace).c_str(), stdout);
    return 0;
}

void PrintDryRun(clock::ClockEngine& engine, const clock::ChangeTargets& targets) {
    // The select register is read only where an apply would rewrite it.
    const std::uint32_t select = targets.clocks ? engine.ReadPllSelect().value_or(0) : 0;
    std::fputs("Dry run: nothing is written to the card.\n", stdout);
    std::fputs(FormatPlan(clock::PlanChange(engine.current(), select, targets)).c_str(), stdout);
}

std::string BackendName(Backend backend) {
    switch (backend) {
        case Backend::Hardware:
            return "linux";
        case Backend::BuiltInSim:
            return "sim";
        case Backend::ProfileSim:
            return "sim-profile";
    }
    return "";
}

}  // namespace ruvuvuri::app
