#pragma once

#include <string>

#include "card/bios_image.h"
#include "clock/clock_engine.h"
#include "ui/ui_engine.h"

namespace ruvuvuri::app {

// The main panel: card information from the video BIOS, the current clocks and
// the three timing registers, an apply button that writes the edited values
// after a confirmation and reads the card back, and an exit button. Written
// against ui::UiEngine only, so it works the same on every panel engine.
class MainPanel {
  public:
    MainPanel(const card::BiosImage& bios, clock::ClockEngine& engine)
        : bios_(bios), engine_(engine) {}

    // The callbacks the panel file names, for the engine's table.
    ui::CallbackTable Callbacks();
    // The engine is made with the callback table, so it is attached afterwards.
    void AttachEngine(ui::UiEngine& ui) { ui_ = &ui; }

    // Loads, fills and shows the panel and runs the event loop. 0 when the loop
    // ends; -1 when the panel file cannot be loaded.
    int Start(const std::string& panel_file, const std::string& banner);

    void GetBIOSinfo();
    int SetNewClocks(int panel, int control, int event, void* callback_data, int data1, int data2);
    int Exit(int panel, int control, int event, void* callback_data, int data1, int data2);

    int mp = -1;  // the panel handle

  private:
    void ShowClocksAndTimings(const clock::ClockReading& reading);

    const card::BiosImage& bios_;
    clock::ClockEngine& engine_;
    ui::UiEngine* ui_ = nullptr;
};

// The confirmation the apply button asks for, and the title of every popup.
inline constexpr const char* kPopupTitle = "Ruvuvuri";
inline constexpr const char* kApplyQuestion =
    "Core,Memory clocks and Timings will be changed now!\nAre You shure?";

}  // namespace ruvuvuri::app
