// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/ui_engine.h"

namespace ruvuvuri::ui {

// The Qt panel engine lives in a separate module so that a run without a
// window never loads Qt.
inline constexpr const char* kQtModuleFile = "libruvuvuri_qt.so";
inline constexpr const char* kQtEntryPoint = "ruvuvuri_create_qt_engine";

// The module's entry point: a new engine, or nullptr with the reason in
// *error (for example when no display can be opened).
using CreateQtEngineFn = UiEngine* (*)(const CallbackTable* callbacks, std::string* error);

// True when the Qt engine is worth trying: asked for explicitly, or by default
// when an X11 or Wayland display is named. `display` and `wayland` are the
// values of DISPLAY and WAYLAND_DISPLAY (nullptr when unset).
bool ShouldTryQt(const char* display, const char* wayland, UiChoice requested);

// Where the module is looked for, in order: beside the running program, then
// the installed module folder.
std::vector<std::string> QtModuleCandidates();

// Loads the module from `path` and creates an engine; nullptr with a reason
// naming the path on failure. The module stays loaded for the rest of the run.
std::unique_ptr<UiEngine> LoadQtEngineFrom(const std::string& path, const CallbackTable& callbacks,
                                           std::string* error);

// Tries the candidates in order; the first module that loads decides.
std::unique_ptr<UiEngine> LoadQtEngine(const CallbackTable& callbacks, std::string* error);

}  // namespace ruvuvuri::ui
