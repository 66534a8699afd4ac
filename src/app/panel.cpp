// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/panel.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <type_traits>

#include "app/info.h"
#include "app/options.h"
#include "ui/field_text.h"

namespace ruvuvuri::app {
namespace {

constexpr const char* kCoreName = "Core clock";
constexpr const char* kMemoryName = "Memory clock";
constexpr const char* kTimingNames[3] = {"Timing 0 (0x100220)", "Timing 1 (0x100224)",
                                         "Timing 2 (0x100228)"};

// "200.452 MHz": a clock as its field shows it (timings: ui::FormatRegister).
std::string MhzValue(double mhz) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f MHz", mhz);
    return text;
}

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

// One line per change: "Core clock: 174.997 MHz -> 250.000 MHz".
std::string ChangeLines(const std::vector<FieldChange>& changes) {
    std::string lines;
    for (const FieldChange& change : changes) {
        lines += "\n" + change.field + ": " + change.before + " -> " + change.after;
    }
    return lines;
}

// A line of the program's as the first sentence of a popup or status line.
std::string Sentence(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    return text + ".";
}

// An untouched clock field gives back exactly the clock that was read: the
// MHz round trip alone can lose a kHz (128.003 x 1000.0 truncates to 128002)
// and so reprogram a PLL nobody asked to change.
std::uint32_t TargetKhz(double field_mhz, double shown_mhz, std::uint32_t read_khz) {
    return field_mhz == shown_mhz ? read_khz : MhzToKhz(field_mhz);
}

}  // namespace

ui::CallbackTable MainPanel::Callbacks() {
    return {{"SetNewClocks", std::bind_front(&MainPanel::SetNewClocks, this)},
            {"Preview", std::bind_front(&MainPanel::Preview, this)},
            {"Restore", std::bind_front(&MainPanel::Restore, this)},
            {"Exit", std::bind_front(&MainPanel::Exit, this)}};
}

int MainPanel::Start(const std::string& panel_file, const std::string& banner) {
    mp = ui_->LoadPanel(0, panel_file, ui::PANEL);
    if (mp < 0) {
        load_error_ = ui_->last_error();
        return -1;
    }
    ui_->SetCtrlVal(mp, ui::PANEL_BANNER, banner);
    // The arrows go to the clocks the PLL can make with this card's crystal:
    // a fixed step would mostly land between them.
    for (const bool memory : {false, true}) {
        ui_->SetCtrlStepRule(mp, memory ? ui::PANEL_MEMCLK : ui::PANEL_CORECLK,
                             [this, memory](double mhz, int direction) {
                                 const int crystal = engine_.current().base_freq;
                                 const long long khz = std::llround(mhz * 1000.0);
                                 if (crystal <= 0 || khz <= 0 || khz > 0xFFFFFFFFLL) {
                                     return mhz;
                                 }
                                 return clock::NextReachableKhz(static_cast<std::uint32_t>(khz),
                                                                direction, memory, crystal) /
                                        1000.0;
                             });
    }
    GetBIOSinfo();
    ShowClocksAndTimings(engine_.current());
    // A card that must not be written says so before anyone edits a field.
    if (const std::string refusal = RefusalText(engine_); !refusal.empty()) {
        ui_->SetCtrlVal(mp, ui::PANEL_STATUS, Sentence(refusal));
    }
    ui_->DisplayPanel(mp);
    ui_->RunUserInterface();
    return 0;
}

void MainPanel::GetBIOSinfo() {
    ui_->SetCtrlVal(mp, ui::PANEL_ROMWORD_54, std::uint32_t{bios_.RomWord54()});
    ui_->SetCtrlVal(mp, ui::PANEL_ROMWORD_56, std::uint32_t{bios_.RomWord56()});
    // The card check has already refused an image whose header pointer leads
    // outside it, so the device ID is always there when the panel is shown.
    ui_->SetCtrlVal(mp, ui::PANEL_DEVICEID, std::uint32_t{bios_.DeviceId().value_or(0)});

    ui_->SetCtrlVal(mp, ui::PANEL_BIOSTEXT, bios_.BiosText());
    ui_->SetCtrlVal(mp, ui::PANEL_BIOSVER, bios_.BiosVersion());
}

void MainPanel::ShowClocksAndTimings(const clock::ClockReading& reading) {
    ui_->SetCtrlVal(mp, ui::PANEL_CORECLK, reading.nvclk_d);
    ui_->SetCtrlVal(mp, ui::PANEL_MEMCLK, reading.memclk_d);
    for (int i = 0; i < 3; ++i) {
        shown_timing_[i] = reading.timings()[i];
        ui_->SetCtrlVal(mp, ui::PANEL_TIMING0 + i, shown_timing_[i]);
    }
    // What the clock fields hold now, at their decimals: Apply compares with it
    // to tell an untouched field.
    shown_core_mhz_ = shown_mem_mhz_ = std::numeric_limits<double>::quiet_NaN();
    ui_->GetCtrlVal(mp, ui::PANEL_CORECLK, &shown_core_mhz_);
    ui_->GetCtrlVal(mp, ui::PANEL_MEMCLK, &shown_mem_mhz_);
}

std::string MainPanel::ClockFieldRange(int control) {
    double minimum = 0.0;
    double maximum = 0.0;
    if (!ui_->GetCtrlLimits(mp, control, &minimum, &maximum)) {
        return "within the panel's limits";
    }
    char range[96];
    std::snprintf(range, sizeof range, "within the panel's limits (%.3f to %.3f MHz)", minimum,
                  maximum);
    return range;
}

MainPanel::EditedFields MainPanel::FieldsNow() {
    EditedFields fields;
    const auto read = [this](int control, auto& field) {
        if (std::remove_reference_t<decltype(*field)> value{};
            ui_->GetCtrlVal(mp, control, &value)) {
            field = value;
        }
    };
    read(ui::PANEL_CORECLK, fields.core_mhz);
    read(ui::PANEL_MEMCLK, fields.memory_mhz);
    for (int i = 0; i < 3; ++i) {
        read(ui::PANEL_TIMING0 + i, fields.timing[i]);
    }
    return fields;
}

std::optional<MainPanel::EditedFields> MainPanel::CommittedFields(int event) {
    if (event != ui::EVENT_COMMIT || !engine_.CanChangeClocks()) {
        return std::nullopt;
    }
    const EditedFields fields = FieldsNow();
    std::string refused;
    const auto check = [&](bool complete, const char* name, const std::string& need) {
        if (!complete) {
            refused += std::string(name) + " " + need + ".\n";
        }
    };
    check(fields.core_mhz.has_value(), kCoreName,
          "holds no number " + ClockFieldRange(ui::PANEL_CORECLK));
    check(fields.memory_mhz.has_value(), kMemoryName,
          "holds no number " + ClockFieldRange(ui::PANEL_MEMCLK));
    for (int i = 0; i < 3; ++i) {
        check(fields.timing[i].has_value(), kTimingNames[i],
              "is not a complete hexadecimal value (eight digits, 0x00000000 to 0xFFFFFFFF)");
    }
    if (refused.empty()) {
        return fields;
    }
    ui_->MessagePopup(kPopupTitle,
                      refused + "Nothing was written; correct the field and apply again.");
    return std::nullopt;
}

bool MainPanel::RefuseWrites() {
    const std::string refusal = RefusalText(engine_);
    if (!refusal.empty()) {
        ui_->MessagePopup(kPopupTitle, Sentence(refusal));
    }
    return !refusal.empty();
}

std::vector<FieldChange> MainPanel::Changes(const EditedFields& fields) const {
    std::vector<FieldChange> changes;
    const auto add = [&changes](const char* name, auto shown, const auto& field, auto text) {
        if (!field) {
            changes.push_back({name, text(shown), "(incomplete)"});
        } else if (*field != shown) {
            changes.push_back({name, text(shown), text(*field)});
        }
    };
    add(kCoreName, shown_core_mhz_, fields.core_mhz, MhzValue);
    add(kMemoryName, shown_mem_mhz_, fields.memory_mhz, MhzValue);
    for (int i = 0; i < 3; ++i) {
        add(kTimingNames[i], shown_timing_[i], fields.timing[i], ui::FormatRegister);
    }
    return changes;
}

std::optional<clock::ClockReading> MainPanel::ConfirmAndWrite(
    const std::vector<FieldChange>& changes, const char* unchanged,
    const std::function<bool()>& write) {
    // Engines show the part after the blank line below the question.
    const bool confirmed =
        ui_->ConfirmPopup(kPopupTitle, std::string(kApplyQuestion) + "\n" +
                                           (changes.empty() ? std::string("\n") + unchanged
                                                            : ChangeLines(changes))) == 1;
    const clock::ClockReading before = engine_.current();
    const bool written = confirmed && write();
    if (confirmed && !written) {
        ui_->MessagePopup(kPopupTitle, Sentence(kStrapChanged));
    }
    // After a write the panel shows what the PLLs really produce; after a
    // refusal it shows the card's values again.
    const clock::ClockReading now =
        written && after_apply_ ? after_apply_(before) : engine_.GetCurrentClocks();
    ShowClocksAndTimings(now);
    if (!written) {
        ui_->SetCtrlVal(mp, ui::PANEL_STATUS,
                        std::string("Nothing was written; the fields show the card again."));
        return std::nullopt;
    }
    return now;
}

int MainPanel::SetNewClocks(int, int, int event, void*, int, int) {
    // The panel writes only what it shows: a field that holds no complete
    // value stops Apply before anything is asked or written, and the user's
    // edits stay in the fields to be corrected.
    const std::optional<EditedFields> fields = CommittedFields(event);
    if (!fields || RefuseWrites()) {
        return 0;
    }
    // Each clock as the card will run at it, beside the one typed.
    const clock::ChangeTargets targets = TargetsOf(*fields, engine_.current());
    const clock::ChangePlan plan = clock::PlanChange(engine_.current(), 0, targets);
    std::vector<FieldChange> changes = Changes(*fields);
    for (FieldChange& change : changes) {
        const bool core = change.field == kCoreName;
        if (core || change.field == kMemoryName) {
            const clock::PllPlan& pll = core ? *plan.core : *plan.memory;
            change.after = MhzValue(pll.output_khz / 1000.0) +
                           Format(" (asked %.3f)", core ? *fields->core_mhz : *fields->memory_mhz);
        }
    }
    const std::optional<clock::ClockReading> now =
        ConfirmAndWrite(changes,
                        "No field was edited: the card is written with the clocks and timings it "
                        "has.",
                        [&] { return engine_.Apply(targets); });
    if (now) {
        // The clocks the card now runs at next to those asked for, then the
        // timings as read back: a timing register that does not keep every
        // bit written is worth a look, as the card runs with what it reads.
        std::string timings;
        for (int i = 0; i < 3; ++i) {
            if (now->timings()[i] != *fields->timing[i]) {
                timings += std::string(" ") + kTimingNames[i] + " reads " +
                           ui::FormatRegister(now->timings()[i]) + ", written " +
                           ui::FormatRegister(*fields->timing[i]) + ";";
            }
        }
        std::string status = "Core " + MhzValue(now->nvclk_d) + ", asked " +
                             AskedMhz(*fields->core_mhz) + "; memory " + MhzValue(now->memclk_d) +
                             ", asked " + AskedMhz(*fields->memory_mhz) + ";" +
                             (timings.empty() ? " timings as written;" : timings);
        status.back() = '.';
        ui_->SetCtrlVal(mp, ui::PANEL_STATUS, status);
    }
    return 0;
}

int MainPanel::Restore(int, int, int event, void*, int, int) {
    if (event != ui::EVENT_COMMIT || !engine_.CanChangeClocks()) {
        return 0;
    }
    if (!started_) {
        ui_->MessagePopup(kPopupTitle,
                          "No run has read the card since the machine started, so there are no "
                          "clocks it started with to write back. Nothing was written.");
        return 0;
    }
    if (RefuseWrites()) {
        return 0;
    }
    const clock::ClockReading& read = engine_.current();
    const clock::ClockReading target = StartedReading(*started_, read.base_freq);
    std::vector<FieldChange> changes;
    const auto add = [&changes](const char* name, const std::string& from, const std::string& to) {
        if (from != to) {
            changes.push_back({name, from, to});
        }
    };
    add(kCoreName, MhzValue(read.nvclk_d), MhzValue(target.nvclk_d));
    add(kMemoryName, MhzValue(read.memclk_d), MhzValue(target.memclk_d));
    for (int i = 0; i < 3; ++i) {
        add(kTimingNames[i], ui::FormatRegister(read.timings()[i]),
            ui::FormatRegister(target.timings()[i]));
    }
    const std::optional<clock::ClockReading> now = ConfirmAndWrite(
        changes, "The card holds the clocks it started with: they are written again.",
        [&] { return engine_.Restore(target); });
    if (now) {
        ui_->SetCtrlVal(mp, ui::PANEL_STATUS,
                        "Restored the clocks the card started with: core " +
                            MhzValue(now->nvclk_d) + ", memory " + MhzValue(now->memclk_d) + ".");
    }
    return 0;
}

clock::ChangeTargets MainPanel::TargetsOf(const EditedFields& fields,
                                          const clock::ClockReading& read) const {
    // All three timings are written every time, changed or not.
    return {clock::ChangeTargets::Clocks{TargetKhz(*fields.memory_mhz, shown_mem_mhz_, read.memclk),
                                         TargetKhz(*fields.core_mhz, shown_core_mhz_, read.nvclk)},
            {fields.timing[0], fields.timing[1], fields.timing[2]}};
}

int MainPanel::Preview(int, int, int event, void*, int, int) {
    const std::optional<EditedFields> fields = CommittedFields(event);
    if (!fields || RefuseWrites()) {
        return 0;
    }
    // The plan Apply would carry out now: the same targets, and the select
    // register as it reads now (a read; nothing is written).
    const clock::ClockReading& read = engine_.current();
    const std::uint32_t select = engine_.ReadPllSelect().value_or(0);
    std::string plan = FormatPlan(clock::PlanChange(read, select, TargetsOf(*fields, read)));
    plan.pop_back();  // the popup ends the last line
    ui_->MessagePopup(kPopupTitle, std::string(kPreviewHeading) + "\n\n" + plan);
    return 0;
}

int MainPanel::Exit(int, int, int event, void*, int, int) {
    if (event != ui::EVENT_COMMIT) {
        return 0;
    }
    // Edits the user never applied are not thrown away without a word; a
    // script has no one to ask and ends as it always has.
    if (ui_->interactive()) {
        const std::vector<FieldChange> edited = Changes(FieldsNow());
        if (!edited.empty() &&
            ui_->ConfirmPopup(kPopupTitle,
                              "These edits have not been applied. Exit and discard them?\n" +
                                  ChangeLines(edited)) != 1) {
            return 0;
        }
    }
    ui_->QuitUserInterface(0);
    return 0;
}

}  // namespace ruvuvuri::app
