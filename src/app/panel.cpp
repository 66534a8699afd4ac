#include "app/panel.h"

#include "app/clock_units.h"
#include "app/panel_ids.h"

namespace ruvuvuri::app {

ui::CallbackTable MainPanel::Callbacks() {
    return {
        {"SetNewClocks",
         [this](int panel, int control, int event, void* data, int d1, int d2) {
             return SetNewClocks(panel, control, event, data, d1, d2);
         }},
        {"Exit", [this](int panel, int control, int event, void* data, int d1,
                        int d2) { return Exit(panel, control, event, data, d1, d2); }},
    };
}

int MainPanel::Start(const std::string& panel_file, const std::string& banner) {
    mp = ui_->LoadPanel(0, panel_file, PANEL);
    if (mp < 0) {
        return -1;
    }
    ui_->SetCtrlVal(mp, PANEL_BANNER, banner);
    GetBIOSinfo();
    ShowClocksAndTimings(engine_.current());
    ui_->DisplayPanel(mp);
    ui_->RunUserInterface();
    return 0;
}

void MainPanel::GetBIOSinfo() {
    ui_->SetCtrlVal(mp, PANEL_ROMWORD_54, std::uint32_t{bios_.RomWord54()});
    ui_->SetCtrlVal(mp, PANEL_ROMWORD_56, std::uint32_t{bios_.RomWord56()});
    // The card check has already refused an image whose header pointer leads
    // outside it, so the device ID is always there when the panel is shown.
    ui_->SetCtrlVal(mp, PANEL_DEVICEID, std::uint32_t{bios_.DeviceId().value_or(0)});

    ui_->SetCtrlVal(mp, PANEL_BIOSTEXT, bios_.BiosText());
    ui_->SetCtrlVal(mp, PANEL_BIOSVER, bios_.BiosVersion());
}

void MainPanel::ShowClocksAndTimings(const clock::ClockReading& reading) {
    ui_->SetCtrlVal(mp, PANEL_CORECLK, reading.nvclk_d);
    ui_->SetCtrlVal(mp, PANEL_MEMCLK, reading.memclk_d);
    ui_->SetCtrlVal(mp, PANEL_TIMING0, reading.tim0);
    ui_->SetCtrlVal(mp, PANEL_TIMING1, reading.tim1);
    ui_->SetCtrlVal(mp, PANEL_TIMING2, reading.tim2);
}

int MainPanel::SetNewClocks(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT || !engine_.CanChangeClocks()) {
        return 0;
    }
    // The edited values are taken before the user answers; a refusal shows
    // what the card reads back instead.
    double nvclk_d = 0.0;
    double memclk_d = 0.0;
    std::uint32_t tim[clock::kTimingRegisters.size()] = {};
    ui_->GetCtrlVal(mp, PANEL_CORECLK, &nvclk_d);
    ui_->GetCtrlVal(mp, PANEL_MEMCLK, &memclk_d);
    ui_->GetCtrlVal(mp, PANEL_TIMING0, &tim[0]);
    ui_->GetCtrlVal(mp, PANEL_TIMING1, &tim[1]);
    ui_->GetCtrlVal(mp, PANEL_TIMING2, &tim[2]);

    if (ui_->ConfirmPopup(kPopupTitle, kApplyQuestion) == 1) {
        engine_.ChangeSpeed(MhzToKhz(memclk_d), MhzToKhz(nvclk_d));
        // All three timings are written every time, changed or not.
        for (std::size_t i = 0; i < clock::kTimingRegisters.size(); ++i) {
            engine_.SetTiming(i, tim[i]);
        }
    }
    // After an apply the panel shows what the PLLs really produce; after a
    // refusal it shows the card's values again.
    ShowClocksAndTimings(engine_.GetCurrentClocks());
    return 0;
}

int MainPanel::Exit(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT) {
        ui_->QuitUserInterface(0);
    }
    return 0;
}

}  // namespace ruvuvuri::app
