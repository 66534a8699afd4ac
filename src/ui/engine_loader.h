// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <string>

#include "ui/ui_engine.h"

namespace ruvuvuri::ui {

// The Qt panel engine lives in a separate module so that a run without a
// window never loads Qt.
inline constexpr const char* kQtModuleFile = "libruvuvuri_qt.so";
inline constexpr const char* kQtEntryPoint = "ruvuvuri_create_qt_engine";

// The module's entry point: a new engine, or nullptr with the reason in
// *error (for example when no display can be opened); neither may be null.
using CreateQtEngineFn = UiEngine* (*)(const CallbackTable* callbacks, std::string* error);

// The module's own functions (src/ui/qt), which its entry point calls.
namespace qt {
// Creating a QApplication on a platform that cannot start (no X server, no
// Wayland compositor) aborts the process inside Qt. This check runs first and
// explains the problem instead; true when Qt's platform is expected to start.
bool DisplayAvailable(std::string* reason);

// The panel engine on Qt Widgets: the panel comes from its Qt Designer file
// (the top-level widget PANEL), buttons call the program's named callbacks,
// popups are message boxes. It only shows and edits values; what a button does
// is up to the callbacks. Read-only fields look so and stay out of the Tab
// order; each editable field names its range in a tooltip, takes whatever the
// user types and shows in red a value it cannot hand to Apply, which then
// refuses it. The countdown question (TimedConfirmPopup) has Keep and Revert,
// Revert the default. Uses the process's QApplication, or starts one; nullptr
// with the reason when none can be made (no display).
std::unique_ptr<UiEngine> CreateQtEngine(const CallbackTable& callbacks, std::string* error);
}  // namespace qt

// The program's own files, found relative to the running program so that an
// install works from any prefix and a build tree runs where it was built.
enum class InstalledFolder {
    Data,    // the panel file and its icons: <prefix>/share/ruvuvuri
    Module,  // the Qt panel module: <prefix>/lib/<multiarch>/ruvuvuri
};

// Beside the program (a build tree), else in the installed folder relative to
// the program: the first that exists, or the installed location when none
// does, so that a message about the file names where it should have been.
std::string FindInstalledFile(InstalledFolder folder, const std::string& name);

// True when the Qt engine is worth trying: asked for explicitly, or by default
// when an X11 or Wayland display is named. `display` and `wayland` are the
// values of DISPLAY and WAYLAND_DISPLAY (nullptr when unset).
bool ShouldTryQt(const char* display, const char* wayland, UiChoice requested);

// Loads the Qt module and creates its engine. As with the engines, a load that
// fails answers nullptr and last_error() says why, naming the module's path.
// The module stays loaded for the rest of the run.
class QtEngineLoader {
  public:
    // Beside the running program, then the installed module folder; the
    // first module that exists decides.
    std::unique_ptr<UiEngine> Load(const CallbackTable& callbacks);
    std::unique_ptr<UiEngine> LoadFrom(const std::string& path, const CallbackTable& callbacks);
    const std::string& last_error() const { return last_error_; }

  private:
    std::string last_error_;
};

}  // namespace ruvuvuri::ui
