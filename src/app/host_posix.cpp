// SPDX-License-Identifier: GPL-2.0-or-later
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/host.h"
#include "base/printable.h"
#include "hw/backends/linux_io.h"
#include "ui/console_engine.h"
#include "ui/engine_loader.h"

namespace ruvuvuri::app::host {

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

std::string PanelFilePath() {
    return ui::FindInstalledFile(ui::InstalledFolder::Data, kPanelFileName);
}

// Qt when asked for, or by default when there is a display and the module
// loads; the console otherwise.
bool DialogPanelPossible(UiChoice choice) {
    return ui::ShouldTryQt(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), choice);
}

std::unique_ptr<ui::UiEngine> OpenUiEngine(UiChoice choice, const ui::CallbackTable& callbacks,
                                           bool* asks_in_dialog) {
    if (DialogPanelPossible(choice)) {
        ui::QtEngineLoader loader;
        if (auto engine = loader.Load(callbacks)) {
            if (asks_in_dialog != nullptr) {
                *asks_in_dialog = true;
            }
            return engine;
        }
        if (choice == ui::UiChoice::Qt) {
            Warn("the Qt panel is not available (" + loader.last_error() +
                 "); using the console panel");
        }
    }
    return ui::CreateConsoleEngine(callbacks, std::cin, std::cout, std::cerr);
}

std::span<const hw::BackendRecord* const> HardwareBackends() {
    static const hw::BackendRecord* const records[] = {&hw::kLinuxPortsBackend};
    return records;
}

std::unique_ptr<Terminal> OpenKeepTerminal(bool dialog_possible, std::string* refusal) {
    std::string why;
    auto terminal = OpenTerminal("/dev/tty", &why);
    if (!terminal) {
        *refusal =
            dialog_possible
                ? "--revert-after asks on the terminal outside the Qt panel, and " + why +
                      "; run it from a terminal, use the Qt panel or leave --revert-after "
                      "out; nothing was written"
                : "--revert-after asks on the terminal, and " + why +
                      "; run it from a terminal or leave --revert-after out; nothing was done";
    }
    return terminal;
}

int ChangeStartEntry(bool, const std::vector<std::string>&) {
    Warn(
        "--install-at-start and --remove-at-start are for Windows; here the settings go into "
        "RUVUVURI_ARGS in /etc/default/ruvuvuri, and sudo systemctl enable --now ruvuvuri "
        "applies them at every start");
    return 2;
}

// The service manager runs --at-shutdown (ruvuvuri.service).
void StayUntilSessionEnds(const std::function<void()>&) {}

}  // namespace ruvuvuri::app::host
