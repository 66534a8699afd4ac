#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "app/host.h"
#include "app/privileges.h"
#include "build_config.h"
#include "ui/console_engine.h"
#include "ui/engine_loader.h"

namespace ruvuvuri::app::host {
namespace {

constexpr const char* kPanelFileName = "Ruvuvuri.ui";

}  // namespace

void Warn(const std::string& text) {
    std::fprintf(stderr, "ruvuvuri: %s\n", text.c_str());
}

void ReportFailure(const std::string& text) {
    Warn(text);
}

void PrintText(const std::string& text) {
    std::fputs(text.c_str(), stdout);
}

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

// Qt when asked for, or by default when there is a display and the module
// loads; the console otherwise.
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

void GiveUpHardwareRights() {
    DropSudoPrivileges();
}

}  // namespace ruvuvuri::app::host
