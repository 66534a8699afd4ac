// SPDX-License-Identifier: GPL-2.0-or-later
// Shows the main panel filled with the built-in simulated card's values, with
// no card behind it: for screenshots and for checking a panel file by eye.
//   ruvuvuri_panel_preview [PANEL_FILE]
// The window stays until Exit or its close box is pressed.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <memory>
#include <string>

#include "build_config.h"
#include "ui/engine_loader.h"

namespace ui = ruvuvuri::ui;

namespace {

std::string PanelBesideProgram() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    std::string program = length > 0 ? std::string(path, static_cast<std::size_t>(length)) : "";
    return program.substr(0, program.rfind('/') + 1) + "Ruvuvuri.ui";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string panel_file = argc > 1 ? argv[1] : PanelBesideProgram();
    std::unique_ptr<ui::UiEngine> engine;
    ui::CallbackTable callbacks = {
        {"SetNewClocks", [](int, int, int, void*, int, int) { return 0; }},
        {"Preview", [](int, int, int, void*, int, int) { return 0; }},
        {"Exit",
         [&engine](int, int, int event, void*, int, int) {
             if (event == ui::EVENT_COMMIT) {
                 engine->QuitUserInterface(0);
             }
             return 0;
         }},
    };
    ui::QtEngineLoader loader;
    engine = loader.Load(callbacks);
    if (engine == nullptr) {
        std::fprintf(stderr, "ruvuvuri_panel_preview: %s\n", loader.last_error().c_str());
        return 255;
    }
    const int panel = engine->LoadPanel(0, panel_file, ui::PANEL);
    if (panel < 0) {
        std::fprintf(stderr, "ruvuvuri_panel_preview: cannot load the panel file %s\n",
                     panel_file.c_str());
        return 255;
    }
    engine->SetCtrlVal(
        panel, ui::PANEL_BANNER,
        std::string("Ruvuvuri " RUVUVURI_VERSION " \xE2\x80\x94 GeForce clock and timing utility"));
    engine->SetCtrlVal(panel, ui::PANEL_ROMWORD_54, std::uint32_t{0x10DE});
    engine->SetCtrlVal(panel, ui::PANEL_ROMWORD_56, std::uint32_t{0x0150});
    engine->SetCtrlVal(panel, ui::PANEL_DEVICEID, std::uint32_t{0x0150});
    engine->SetCtrlVal(panel, ui::PANEL_BIOSTEXT, std::string("GF2 GTS "));
    engine->SetCtrlVal(panel, ui::PANEL_BIOSVER, std::string("3.11.01.05"));
    engine->SetCtrlVal(panel, ui::PANEL_CORECLK, 200.452);
    engine->SetCtrlVal(panel, ui::PANEL_MEMCLK, 166.088);
    engine->SetCtrlVal(panel, ui::PANEL_TIMING0, std::uint32_t{0x22322222});
    engine->SetCtrlVal(panel, ui::PANEL_TIMING1, std::uint32_t{0x00000A0A});
    engine->SetCtrlVal(panel, ui::PANEL_TIMING2, std::uint32_t{0x05050505});
    engine->DisplayPanel(panel);
    return engine->RunUserInterface();
}
