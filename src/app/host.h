// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/keep_question.h"
#include "app/options.h"
#include "hw/backend.h"
#include "ui/ui_engine.h"

// What the run needs of the operating system it runs on, one implementation
// per platform (host_posix.cpp, host_win.cpp): where text goes, where the
// panel file is, which panel engine shows panels, the real card's backends,
// giving up rights the run no longer needs, and the terminal a change asks to
// be kept on.
namespace ruvuvuri::app::host {

inline constexpr const char* kPanelFileName = "Ruvuvuri.ui";

// A one-line warning ("ruvuvuri: <text>"), control characters made visible.
void Warn(const std::string& text);
// The one line that says why the run cannot go on.
void ReportFailure(const std::string& text);
// Text the user asked for (--help, --version, --info).
void PrintText(const std::string& text);

// The panel file: beside the program first, then the installed data folder.
std::string PanelFilePath();

// The panel engine the options and the environment choose. Loaded only when
// a panel or popup is shown, so a run that shows nothing never pays for it.
// `*asks_in_dialog` tells whether the engine asks a timed question in a dialog
// of its own (the Qt panel) rather than on the terminal.
std::unique_ptr<ui::UiEngine> OpenUiEngine(UiChoice choice, const ui::CallbackTable& callbacks,
                                           bool* asks_in_dialog = nullptr);
// Whether OpenUiEngine may come back with such an engine.
bool DialogPanelPossible(UiChoice choice);

// The real card's backend records, in order of preference (ChooseBackend).
std::span<const hw::BackendRecord* const> HardwareBackends();

// Called once what needs root is held: goes on as the user who invoked the
// program, before any path a user gave is opened. Throws hw::PlatformError.
// On POSIX systems it is defined with the rest of the drop (privileges.cpp).
void DropToInvokingUser();

// Where --revert-after asks whether to keep a change; nullptr, with the whole
// refusal (cause and remedy) in `refusal`, when there is no such place. With
// `dialog_possible` the refusal applies only outside a dialog panel.
std::unique_ptr<Terminal> OpenKeepTerminal(bool dialog_possible, std::string* refusal);

// --install-at-start / --remove-at-start: the entry that runs `--at-boot` with
// these arguments at every start (Windows: the machine's Run key). The exit
// status; elsewhere it says what to use instead.
int ChangeStartEntry(bool install, const std::vector<std::string>& arguments);

// After settings were applied at start: where no service manager runs
// --at-shutdown (Windows), waits for the end of the session and runs
// `at_end` then; elsewhere returns at once.
void StayUntilSessionEnds(const std::function<void()>& at_end);

}  // namespace ruvuvuri::app::host
