#include "app/panel.h"

#include <cstdio>
#include <cstring>

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
    ShowClocksAndTimings();
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

    const std::string text = bios_.BiosText();
    std::snprintf(tmpstr, sizeof tmpstr, "%s", text.c_str());
    ui_->SetCtrlVal(mp, PANEL_BIOSTEXT, std::string(tmpstr));
    const std::string version = bios_.BiosVersion();
    std::snprintf(tmpstr, sizeof tmpstr, "%s", version.c_str());
    ui_->SetCtrlVal(mp, PANEL_BIOSVER, std::string(tmpstr));
}

void MainPanel::ShowClocksAndTimings() {
    ui_->SetCtrlVal(mp, PANEL_CORECLK, engine_.nvclk_d);
    ui_->SetCtrlVal(mp, PANEL_MEMCLK, engine_.memclk_d);
    ui_->SetCtrlVal(mp, PANEL_TIMING0, engine_.tim0);
    ui_->SetCtrlVal(mp, PANEL_TIMING1, engine_.tim1);
    ui_->SetCtrlVal(mp, PANEL_TIMING2, engine_.tim2);
}

int MainPanel::SetNewClocks(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT || engine_.CanChangeClocks == 0) {
        return 0;
    }
    // The globals take the edited values before the user answers; a refusal
    // overwrites them again with what the card reads back.
    ui_->GetCtrlVal(mp, PANEL_CORECLK, &engine_.nvclk_d);
    ui_->GetCtrlVal(mp, PANEL_MEMCLK, &engine_.memclk_d);
    ui_->GetCtrlVal(mp, PANEL_TIMING0, &engine_.tim0);
    ui_->GetCtrlVal(mp, PANEL_TIMING1, &engine_.tim1);
    ui_->GetCtrlVal(mp, PANEL_TIMING2, &engine_.tim2);

    if (ui_->ConfirmPopup(kPopupTitle, kApplyQuestion) == 1) {
        engine_.ChangeSpeed(MhzToKhz(engine_.memclk_d), MhzToKhz(engine_.nvclk_d));
        // All three timings are written every time, changed or not.
        window_.OUT_LONGWORD(clock::kTiming0Register, engine_.tim0);
        window_.OUT_LONGWORD(clock::kTiming1Register, engine_.tim1);
        window_.OUT_LONGWORD(clock::kTiming2Register, engine_.tim2);
    }
    // After an apply the panel shows what the PLLs really produce; after a
    // refusal it shows the card's values again.
    engine_.GetCurrentClocks();
    ShowClocksAndTimings();
    return 0;
}

int MainPanel::Exit(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT) {
        ui_->QuitUserInterface(0);
    }
    return 0;
}

}  // namespace ruvuvuri::app
