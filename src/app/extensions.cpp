// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/extensions.h"

#include <cerrno>
#include <fstream>

#include "app/backend_table.h"
#include "app/explain_trace.h"
#include "app/host.h"
#include "app/plan_text.h"
#include "base/error_text.h"
#include "hw/window_decoder.h"

namespace ruvuvuri::app {

int ExplainTraceFile(const std::string& path) {
    // Through the host, so that a program started without a console (Windows)
    // still shows what it was asked for.
    std::ifstream in(path);
    if (!in) {
        const int error = errno;
        host::Warn("cannot read the trace " + path + " (" + base::ErrorText(error) +
                   "); check the file name");
        return -1;
    }
    const hw::DecodedTrace trace = hw::DecodeWindowTrace(in);
    for (const std::string& problem : trace.problems) {
        host::Warn(path + ": " + problem + "; skipped");
    }
    host::PrintText(ExplainTrace(trace));
    return 0;
}

void PrintDryRun(clock::ClockEngine& engine, const clock::ChangeTargets& targets) {
    // The select register is read only where an apply would rewrite it.
    const std::uint32_t select = targets.clocks ? engine.ReadPllSelect().value_or(0) : 0;
    host::PrintText("Dry run: nothing is written to the card.\n" +
                    FormatPlan(clock::PlanChange(engine.current(), select, targets)));
}

std::string BackendName(Backend backend) {
    return ChooseBackend(backend).name;
}

}  // namespace ruvuvuri::app
