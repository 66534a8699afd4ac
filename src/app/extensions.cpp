// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/extensions.h"

#include "app/backend_table.h"
#include "app/host.h"
#include "app/plan_text.h"

namespace ruvuvuri::app {

void PrintDryRun(clock::ClockEngine& engine, const clock::ChangeTargets& targets,
                 const std::string& refusal) {
    if (!refusal.empty() && !targets.empty()) {
        host::PrintText("Dry run: nothing is written to the card.\nAn apply would write nothing: " +
                        refusal + ".\n");
        return;
    }
    // The select register is read only where an apply would rewrite it.
    const std::uint32_t select = targets.clocks ? engine.ReadPllSelect().value_or(0) : 0;
    host::PrintText("Dry run: nothing is written to the card.\n" +
                    FormatPlan(clock::PlanChange(engine.current(), select, targets)));
}

std::string BackendName(Backend backend) {
    return ChooseBackend(backend).name;
}

}  // namespace ruvuvuri::app
