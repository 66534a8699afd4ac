#include "app/startup.h"

#include <cstdio>
#include <memory>
#include <string>

#include "app/apply_options.h"
#include "app/host.h"
#include "app/info.h"
#include "app/options.h"
#include "app/panel.h"
#include "app/platform.h"
#include "build_config.h"
#include "card/bios_image.h"
#include "clock/clock_engine.h"
#include "hw/platform_error.h"
#include "hw/register_window.h"
#include "ui/console_engine.h"

namespace ruvuvuri::app {
namespace {

constexpr const char* kNoGeForce = "I think, you don't have GeForce card?";

// The state of one run, built once and owned here.
struct Card {
    explicit Card(hw::PortIo& io) : window(io), engine(window), panel(bios, engine, window) {}

    card::BiosImage bios;
    hw::RegisterWindow window;
    clock::ClockEngine engine;
    MainPanel panel;
};

std::string Banner() {
    return std::string("Ruvuvuri ") + RUVUVURI_VERSION + " - GeForce clock and timing utility";
}

void PrintCardInfo(Card& card) {
    const std::uint32_t core_word = card.window.IN_LONGWORD(clock::kCorePllRegister);
    const std::uint32_t mem_word = card.window.IN_LONGWORD(clock::kMemPllRegister);
    host::PrintText(FormatCardInfo(card.bios, card.engine, core_word, mem_word));
}

// Everything after the BIOS image has been read.
int RunOnCard(Card& card, const RunOptions& run, int argc, char** argv) {
    if (card.bios.CheckBIOSinfo() != 0) {
        // Not a GeForce: no port is touched, whatever the options say.
        auto ui = host::OpenUiEngine(run.ui, {});
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

    auto ui = host::OpenUiEngine(run.ui, card.panel.Callbacks());
    card.panel.AttachEngine(*ui);
    return card.panel.Start(host::PanelFilePath(), Banner());
}

}  // namespace

int RunProgram(int argc, char** argv) {
    const ParsedRunOptions parsed = ParseRunOptions(argc, argv);
    for (const std::string& warning : parsed.warnings) {
        host::Warn(warning);
    }
    const RunOptions& run = parsed.options;
    if (run.help) {
        host::PrintText(UsageText() + ui::ConsoleCommandHelp());
        return 0;
    }
    if (run.version) {
        host::PrintText(std::string("ruvuvuri ") + RUVUVURI_VERSION + "\n");
        return 0;
    }

    try {
        Platform platform(run);
        Card card(platform.io());
        platform.io().ReadFromPhysicalMemory(card::kBiosAddress, card.bios.image());
        if (platform.is_real_hardware()) {
            // Port access and the BIOS image are ours now; nothing else needs root.
            host::GiveUpHardwareRights();
        }
        const int result = RunOnCard(card, run, argc, argv);
        platform.SaveCard();
        return result;
    } catch (const hw::PlatformError& error) {
        host::ReportFailure(error.what());
        return -1;
    }
}

}  // namespace ruvuvuri::app
