#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/host.h"
#include "app/privileges.h"
#include "base/printable.h"
#include "ui/console_engine.h"
#include "ui/engine_loader.h"
#include "ui/install_paths.h"

namespace ruvuvuri::app::host {
namespace {

constexpr const char* kPanelFileName = "Ruvuvuri.ui";
constexpr const char* kControllingTerminal = "/dev/tty";

}  // namespace

// Every line here may quote a path or an option as given; none may carry a
// terminal control sequence.
void Warn(const std::string& text) {
    std::fprintf(stderr, "ruvuvuri: %s\n", base::Printable(text).c_str());
}

void ReportFailure(const std::string& text) {
    Warn(text);
}

void PrintText(const std::string& text) {
    std::fputs(text.c_str(), stdout);
}

// Beside the program (a build tree) first, then the installed data folder.
std::string PanelFilePath() {
    return ui::FindInstalledFile(ui::InstalledFolder::Data, kPanelFileName);
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

void DropToInvokingUser() {
    app::DropToInvokingUser();
}

std::unique_ptr<Terminal> OpenKeepTerminal(std::string* refusal) {
    std::string why;
    auto terminal = Terminal::Open(kControllingTerminal, &why);
    if (!terminal) {
        *refusal = "--revert-after asks on the terminal, and " + why +
                   "; run it from a terminal or leave --revert-after out; nothing was done";
    }
    return terminal;
}

}  // namespace ruvuvuri::app::host
