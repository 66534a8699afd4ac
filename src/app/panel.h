// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "card/bios_image.h"
#include "clock/clock_engine.h"
#include "hw/backend.h"
#include "ui/ui_engine.h"

namespace ruvuvuri::app {

// One field whose value will change: its label, the value it showed from the
// card and the value it holds now, both as the panel shows them.
struct FieldChange {
    std::string field;
    std::string before;
    std::string after;
};

// The main panel: card information from the video BIOS, the current clocks and
// the three timing registers, an apply button that writes the edited values
// after a confirmation and reads the card back, and an exit button. Written
// against ui::UiEngine only, so it works the same on every panel engine.
class MainPanel {
  public:
    // `started`: the clocks the card started with, which Restore writes back.
    MainPanel(const card::BiosImage& bios, clock::ClockEngine& engine,
              std::optional<hw::StartedClocks> started = std::nullopt)
        : bios_(bios), engine_(engine), started_(started) {}

    // The callbacks the panel file names, for the engine's table.
    ui::CallbackTable Callbacks();
    // The engine is made with the callback table, so it is attached afterwards.
    void AttachEngine(ui::UiEngine& ui) { ui_ = &ui; }

    // Run after an apply in place of the plain read of the card: given the
    // reading from before the apply, it may revert to it, and it returns the
    // card's new reading (the confirm-or-revert question).
    using AfterApply = std::function<const clock::ClockReading&(const clock::ClockReading& before)>;
    void SetAfterApply(AfterApply after_apply) { after_apply_ = std::move(after_apply); }

    // Loads, fills and shows the panel and runs the event loop. 0 when the loop
    // ends; -1 when the panel file cannot be loaded (load_error() says why).
    int Start(const std::string& panel_file, const std::string& banner);
    // One line naming the panel file, the cause and the remedy.
    const std::string& load_error() const { return load_error_; }

    void GetBIOSinfo();
    int SetNewClocks(int panel, int control, int event, void* callback_data, int data1, int data2);
    // Shows the plan of what Apply would write from the fields now (the
    // --dry-run table) and writes nothing.
    int Preview(int panel, int control, int event, void* callback_data, int data1, int data2);
    int Exit(int panel, int control, int event, void* callback_data, int data1, int data2);
    // Writes back the clocks the card started with, after the same question.
    int Restore(int panel, int control, int event, void* callback_data, int data1, int data2);

    // The handle LoadPanel gave, negative before Start or when it failed.
    int panel_handle() const { return mp; }

  private:
    // The five editable fields; one that holds no complete value is empty.
    struct EditedFields {
        std::optional<double> core_mhz;
        std::optional<double> memory_mhz;
        std::optional<std::uint32_t> timing[clock::kTimingRegisters.size()];
    };

    void ShowClocksAndTimings(const clock::ClockReading& reading);
    EditedFields FieldsNow();
    // The fields for Apply and Preview: nothing unless the button was pressed
    // on a checked card and every field holds a complete value; otherwise a
    // popup first names each field that does not and the range it takes.
    std::optional<EditedFields> CommittedFields(int event);
    // Whether the card must not be written; a popup then says why.
    bool RefuseWrites();
    // The fields that differ from what the card showed, for the apply
    // confirmation and the exit question; an empty one as "(incomplete)".
    std::vector<FieldChange> Changes(const EditedFields& fields) const;
    // What an apply of `fields` asks of the card: both clocks and all three timings.
    clock::ChangeTargets TargetsOf(const EditedFields& fields,
                                   const clock::ClockReading& read) const;
    std::string ClockFieldRange(int control);
    // The confirmation (the changes below the question, or `unchanged`), the
    // write and the read-back that Apply and Restore share: the reading shown
    // afterwards, or nothing when nothing was written.
    std::optional<clock::ClockReading> ConfirmAndWrite(const std::vector<FieldChange>& changes,
                                                       const char* unchanged,
                                                       const std::function<bool()>& write);

    const card::BiosImage& bios_;
    clock::ClockEngine& engine_;
    std::optional<hw::StartedClocks> started_;
    ui::UiEngine* ui_ = nullptr;
    int mp = -1;  // the panel handle
    AfterApply after_apply_;
    std::string load_error_;
    // The clock fields as last filled from the card.
    double shown_core_mhz_ = std::numeric_limits<double>::quiet_NaN();
    double shown_mem_mhz_ = std::numeric_limits<double>::quiet_NaN();
    // The timings as last filled from the card.
    std::uint32_t shown_timing_[clock::kTimingRegisters.size()] = {};
};

// The confirmation the apply button asks for, and the title of every popup.
inline constexpr const char* kPopupTitle = "Ruvuvuri";
inline constexpr const char* kApplyQuestion =
    "Core,Memory clocks and Timings will be changed now!\nAre You shure?";
// The first line of the preview, above the plan.
inline constexpr const char* kPreviewHeading =
    "Preview: Apply would write these registers. Nothing has been written.";

}  // namespace ruvuvuri::app
