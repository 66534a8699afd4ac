#include "app/startup.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "app/apply_options.h"
#include "app/info.h"
#include "app/options.h"
#include "app/panel.h"
#include "app/platform.h"
#include "app/privileges.h"
#include "build_config.h"
#include "card/bios_image.h"
#include "clock/clock_engine.h"
#include "hw/platform_error.h"
#include "hw/register_window.h"
#include "ui/console_engine.h"
#include "ui/engine_loader.h"

namespace ruvuvuri::app {
namespace {

constexpr const char* kNoGeForce = "I think, you don't have GeForce card?";
constexpr const char* kPanelFileName = "Ruvuvuri.ui";

// The state of one run, built once and owned here.
struct Card {
    explicit Card(hw::PortIo& io) : window(io), engine(window), panel(bios, engine, window) {}

    card::BiosImage bios;
    hw::RegisterWindow window;
    clock::ClockEngine engine;
    MainPanel panel;
};

void Warn(const std::string& text) {
    std::fprintf(stderr, "ruvuvuri: %s\n", text.c_str());
}

// Qt when asked for, or by default when there is a display and the module
// loads; the console otherwise. The Qt module is loaded only here, so a run
// that shows nothing never pays for it.
std::unique_ptr<ui::UiEngine> OpenUiEngine(UiChoice choice, const ui::CallbackTable& callbacks) {
    const ui::UiChoice wanted = choice;
    if (ui::ShouldTryQt(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), wanted)) {
        std::string why;
        if (auto engine = ui::LoadQtEngine(callbacks, &why)) {
            return engine;
        }
        if (wanted == ui::UiChoice::Qt) {
            Warn("the Qt panel is not available (" + why + "); using the console panel");
        }
    }
    return ui::CreateConsoleEngine(callbacks, std::cin, std::cout, std::cerr);
}

// Beside the program (a build tree) first, then the installed data folder.
std::string PanelFilePath() {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const auto beside = program.parent_path() / kPanelFileName;
        if (std::filesystem::exists(beside, error)) {
            return beside.string();
        }
    }
    return std::string(RUVUVURI_DATA_DIR) + "/" + kPanelFileName;
}

std::string Banner() {
    return std::string("Ruvuvuri ") + RUVUVURI_VERSION + " - GeForce clock and timing utility";
}

void PrintCardInfo(Card& card) {
    const std::uint32_t core_word = card.window.IN_LONGWORD(clock::kCorePllRegister);
    const std::uint32_t mem_word = card.window.IN_LONGWORD(clock::kMemPllRegister);
    std::fputs(FormatCardInfo(card.bios, card.engine, core_word, mem_word).c_str(), stdout);
}

// Everything after the BIOS image has been read.
int RunOnCard(Card& card, const RunOptions& run, int argc, char** argv) {
    if (card.bios.CheckBIOSinfo() != 0) {
        // Not a GeForce: no port is touched, whatever the options say.
        auto ui = OpenUiEngine(run.ui, {});
        ui->MessagePopup(kPopupTitle, kNoGeForce);
        return 0;
    }

    ClockOptions options;
    ParseOptions(argc, argv, options);
    CheckRanges(options);

    card.engine.CanChangeClocks = 1;
    card.window.SetBaseport();
    card.engine.GetCurrentClocks();

    if (run.info) {
        PrintCardInfo(card);
        return 0;
    }
    if (ApplyClockOptions(options, card.engine, card.window) != 0) {
        return 0;
    }

    auto ui = OpenUiEngine(run.ui, card.panel.Callbacks());
    card.panel.AttachEngine(*ui);
    const int result = card.panel.Start(PanelFilePath(), Banner());
    if (result < 0) {
        Warn(card.panel.load_error());
    }
    return result;
}

}  // namespace

int RunProgram(int argc, char** argv) {
    const ParsedRunOptions parsed = ParseRunOptions(argc, argv);
    for (const std::string& warning : parsed.warnings) {
        Warn(warning);
    }
    if (!parsed.error.empty()) {
        Warn(parsed.error);
        return -1;
    }
    const RunOptions& run = parsed.options;
    if (run.help) {
        std::fputs(UsageText().c_str(), stdout);
        std::fputs(ui::ConsoleCommandHelp().c_str(), stdout);
        return 0;
    }
    if (run.version) {
        std::printf("ruvuvuri %s\n", RUVUVURI_VERSION);
        return 0;
    }

    try {
        Platform platform(run);
        Card card(platform.io());
        platform.io().ReadFromPhysicalMemory(card::kBiosAddress, card.bios.image());
        if (platform.is_real_hardware()) {
            // Port access and the BIOS image are ours now; nothing else needs root.
            DropSudoPrivileges();
        }
        const int result = RunOnCard(card, run, argc, argv);
        platform.SaveCard();
        return result;
    } catch (const hw::PlatformError& error) {
        Warn(error.what());
        return -1;
    }
}

}  // namespace ruvuvuri::app
