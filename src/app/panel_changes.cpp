// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/panel_changes.h"

#include <cstdio>

#include "app/panel.h"

namespace ruvuvuri::app {
namespace {

// "200", "200.5", "200.452": a clock as the user asked for it, without the
// zeros a fixed format would add.
std::string AskedMhz(double mhz) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", mhz);
    std::string shown = text;
    if (shown.find('.') != std::string::npos) {
        shown.erase(shown.find_last_not_of('0') + 1);
        if (shown.back() == '.') {
            shown.pop_back();
        }
    }
    return shown;
}

std::string ChangeLines(const std::vector<FieldChange>& changes) {
    std::string lines;
    for (const FieldChange& change : changes) {
        lines += "\n" + change.field + ": " + change.before + " -> " + change.after;
    }
    return lines;
}

}  // namespace

std::string HexValue(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::string MhzValue(double mhz) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f MHz", mhz);
    return text;
}

std::string ConfirmationText(const std::vector<FieldChange>& changes) {
    std::string text = std::string(kApplyQuestion) + "\n";
    if (changes.empty()) {
        return text +
               "\nNo field was edited: the card is written with the clocks and timings "
               "it has.";
    }
    return text + ChangeLines(changes);
}

std::string DiscardQuestion(const std::vector<FieldChange>& changes) {
    return "These edits have not been applied. Exit and discard them?\n" + ChangeLines(changes);
}

std::string AppliedStatus(AppliedClock core, AppliedClock memory,
                          const std::vector<FieldChange>& timing_mismatches) {
    std::string status = "Core " + MhzValue(core.running_mhz) + ", asked " +
                         AskedMhz(core.asked_mhz) + "; memory " + MhzValue(memory.running_mhz) +
                         ", asked " + AskedMhz(memory.asked_mhz) + ";";
    if (timing_mismatches.empty()) {
        return status + " timings as written.";
    }
    // A timing register that does not keep every bit written is worth a
    // look: the card runs with what it reads back.
    for (const FieldChange& timing : timing_mismatches) {
        status +=
            " " + timing.field + " reads " + timing.after + ", written " + timing.before + ";";
    }
    status.back() = '.';
    return status;
}

}  // namespace ruvuvuri::app
