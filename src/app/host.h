#pragma once

#include <memory>
#include <string>

#include "app/options.h"
#include "ui/ui_engine.h"

// What the run needs of the operating system it runs on, one implementation
// per platform (host_posix.cpp, host_win.cpp): where text goes, where the
// panel file is, which panel engine shows panels, and giving up rights the
// run no longer needs.
namespace ruvuvuri::app::host {

// A one-line warning the run goes on after ("ruvuvuri: <text>").
void Warn(const std::string& text);
// The one line that says why the run cannot go on.
void ReportFailure(const std::string& text);
// Text the user asked for (--help, --version, --info).
void PrintText(const std::string& text);

// The panel file: beside the program first, then the installed data folder.
std::string PanelFilePath();

// The panel engine the options and the environment choose. Loaded only when
// a panel or popup is shown, so a run that shows nothing never pays for it.
std::unique_ptr<ui::UiEngine> OpenUiEngine(UiChoice choice, const ui::CallbackTable& callbacks);

// Called once port access and the BIOS image are the run's: gives up what
// only they needed, before any path a user gave is opened.
void GiveUpHardwareRights();

}  // namespace ruvuvuri::app::host
