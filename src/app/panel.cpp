// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/panel.h"

#include <cstdio>
#include <string>

#include "app/clock_units.h"
#include "app/plan_text.h"
#include "ui/panel_ids.h"

namespace ruvuvuri::app {
namespace {

constexpr const char* kCoreName = "Core clock";
constexpr const char* kMemoryName = "Memory clock";
constexpr const char* kTimingNames[3] = {"Timing 0 (0x100220)", "Timing 1 (0x100224)",
                                         "Timing 2 (0x100228)"};

// An untouched clock field gives back exactly the clock that was read: the
// MHz round trip alone can lose a kHz (128.003 x 1000.0 truncates to 128002)
// and so reprogram a PLL nobody asked to change.
std::uint32_t TargetKhz(double field_mhz, double shown_mhz, std::uint32_t read_khz) {
    return field_mhz == shown_mhz ? read_khz : MhzToKhz(field_mhz);
}

}  // namespace

ui::CallbackTable MainPanel::Callbacks() {
    return {
        {"SetNewClocks",
         [this](int panel, int control, int event, void* data, int d1, int d2) {
             return SetNewClocks(panel, control, event, data, d1, d2);
         }},
        {"Preview", [this](int panel, int control, int event, void* data, int d1,
                           int d2) { return Preview(panel, control, event, data, d1, d2); }},
        {"Exit", [this](int panel, int control, int event, void* data, int d1,
                        int d2) { return Exit(panel, control, event, data, d1, d2); }},
    };
}

int MainPanel::Start(const std::string& panel_file, const std::string& banner) {
    mp = ui_->LoadPanel(0, panel_file, ui::PANEL);
    if (mp < 0) {
        load_error_ = ui_->last_error();
        return -1;
    }
    ui_->SetCtrlVal(mp, ui::PANEL_BANNER, banner);
    GetBIOSinfo();
    ShowClocksAndTimings(engine_.current());
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
    const std::uint32_t timings[] = {reading.tim0, reading.tim1, reading.tim2};
    for (int i = 0; i < 3; ++i) {
        ui_->SetCtrlVal(mp, ui::PANEL_TIMING0 + i, timings[i]);
        shown_timing_[i] = timings[i];
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

bool MainPanel::ReadFields(EditedFields* fields) {
    std::string refused;
    const auto check = [&](bool complete, const char* name, const std::string& need) {
        if (!complete) {
            refused += std::string(name) + " " + need + ".\n";
        }
    };
    check(ui_->GetCtrlVal(mp, ui::PANEL_CORECLK, &fields->core_mhz), kCoreName,
          "holds no number " + ClockFieldRange(ui::PANEL_CORECLK));
    check(ui_->GetCtrlVal(mp, ui::PANEL_MEMCLK, &fields->memory_mhz), kMemoryName,
          "holds no number " + ClockFieldRange(ui::PANEL_MEMCLK));
    for (int i = 0; i < 3; ++i) {
        check(ui_->GetCtrlVal(mp, ui::PANEL_TIMING0 + i, &fields->timing[i]), kTimingNames[i],
              "is not a complete hexadecimal value (eight digits, 0x00000000 to 0xFFFFFFFF)");
    }
    if (refused.empty()) {
        return true;
    }
    ui_->MessagePopup(kPopupTitle,
                      refused + "Nothing was written; correct the field and apply again.");
    return false;
}

std::vector<FieldChange> MainPanel::ChangesToApply(const EditedFields& fields) const {
    std::vector<FieldChange> changes;
    const auto clock = [&](const char* name, double shown, double field) {
        if (field != shown) {
            changes.push_back({name, MhzValue(shown), MhzValue(field)});
        }
    };
    clock(kCoreName, shown_core_mhz_, fields.core_mhz);
    clock(kMemoryName, shown_mem_mhz_, fields.memory_mhz);
    for (int i = 0; i < 3; ++i) {
        if (fields.timing[i] != shown_timing_[i]) {
            changes.push_back(
                {kTimingNames[i], HexValue(shown_timing_[i]), HexValue(fields.timing[i])});
        }
    }
    return changes;
}

std::vector<FieldChange> MainPanel::EditedSinceShown() {
    constexpr const char* kIncomplete = "(incomplete)";
    std::vector<FieldChange> changes;
    const auto clock = [&](int control, const char* name, double shown) {
        double field = 0.0;
        if (!ui_->GetCtrlVal(mp, control, &field)) {
            changes.push_back({name, MhzValue(shown), kIncomplete});
        } else if (field != shown) {
            changes.push_back({name, MhzValue(shown), MhzValue(field)});
        }
    };
    clock(ui::PANEL_CORECLK, kCoreName, shown_core_mhz_);
    clock(ui::PANEL_MEMCLK, kMemoryName, shown_mem_mhz_);
    for (int i = 0; i < 3; ++i) {
        std::uint32_t field = 0;
        if (!ui_->GetCtrlVal(mp, ui::PANEL_TIMING0 + i, &field)) {
            changes.push_back({kTimingNames[i], HexValue(shown_timing_[i]), kIncomplete});
        } else if (field != shown_timing_[i]) {
            changes.push_back({kTimingNames[i], HexValue(shown_timing_[i]), HexValue(field)});
        }
    }
    return changes;
}

void MainPanel::ShowAppliedStatus(const EditedFields& asked, const clock::ClockReading& read) {
    std::vector<FieldChange> mismatches;
    const std::uint32_t timings[] = {read.tim0, read.tim1, read.tim2};
    for (int i = 0; i < 3; ++i) {
        if (timings[i] != asked.timing[i]) {
            mismatches.push_back(
                {kTimingNames[i], HexValue(asked.timing[i]), HexValue(timings[i])});
        }
    }
    ui_->SetCtrlVal(mp, ui::PANEL_STATUS,
                    AppliedStatus({asked.core_mhz, read.nvclk_d}, {asked.memory_mhz, read.memclk_d},
                                  mismatches));
}

int MainPanel::SetNewClocks(int, int, int event, void*, int, int) {
    if (event != ui::EVENT_COMMIT || !engine_.CanChangeClocks()) {
        return 0;
    }
    // The panel writes only what it shows: a field that holds no complete
    // value stops Apply before anything is asked or written, and the user's
    // edits stay in the fields to be corrected.
    EditedFields fields;
    if (!ReadFields(&fields)) {
        return 0;
    }
    const bool confirmed =
        ui_->ConfirmPopup(kPopupTitle, ConfirmationText(ChangesToApply(fields))) == 1;
    const clock::ClockReading* now = nullptr;
    if (confirmed) {
        const clock::ClockReading read = engine_.current();
        const clock::ChangeTargets targets = TargetsOf(fields, read);
        engine_.ChangeSpeed(targets.clocks->memory_khz, targets.clocks->core_khz);
        for (std::size_t i = 0; i < clock::kTimingRegisters.size(); ++i) {
            engine_.SetTiming(i, *targets.timings[i]);
        }
        if (after_apply_) {
            now = &after_apply_(read);
        }
    }
    // After an apply the panel shows what the PLLs really produce; after a
    // refusal it shows the card's values again.
    if (now == nullptr) {
        now = &engine_.GetCurrentClocks();
    }
    ShowClocksAndTimings(*now);
    if (confirmed) {
        ShowAppliedStatus(fields, *now);
    } else {
        ui_->SetCtrlVal(mp, ui::PANEL_STATUS,
                        std::string("Nothing was written; the fields show the card again."));
    }
    return 0;
}

clock::ChangeTargets MainPanel::TargetsOf(const EditedFields& fields,
                                          const clock::ClockReading& read) const {
    clock::ChangeTargets targets;
    targets.clocks =
        clock::ChangeTargets::Clocks{TargetKhz(fields.memory_mhz, shown_mem_mhz_, read.memclk),
                                     TargetKhz(fields.core_mhz, shown_core_mhz_, read.nvclk)};
    // All three timings are written every time, changed or not.
    for (std::size_t i = 0; i < targets.timings.size(); ++i) {
        targets.timings[i] = fields.timing[i];
    }
    return targets;
}

int MainPanel::Preview(int, int, int event, void*, int, int) {
    if (event != ui::EVENT_COMMIT || !engine_.CanChangeClocks()) {
        return 0;
    }
    EditedFields fields;
    if (!ReadFields(&fields)) {
        return 0;
    }
    // The plan Apply would carry out now: the same targets, and the select
    // register as it reads now (a read; nothing is written).
    const clock::ClockReading& read = engine_.current();
    const std::uint32_t select = engine_.ReadPllSelect().value_or(0);
    std::string plan = FormatPlan(clock::PlanChange(read, select, TargetsOf(fields, read)));
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
        const std::vector<FieldChange> edited = EditedSinceShown();
        if (!edited.empty() && ui_->ConfirmPopup(kPopupTitle, DiscardQuestion(edited)) != 1) {
            return 0;
        }
    }
    ui_->QuitUserInterface(0);
    return 0;
}

}  // namespace ruvuvuri::app
