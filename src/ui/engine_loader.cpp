// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/engine_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include "base/signal_block.h"
#include "ui/install_paths.h"

namespace ruvuvuri::ui {

bool ShouldTryQt(const char* display, const char* wayland, UiChoice requested) {
    const auto set = [](const char* value) { return value != nullptr && value[0] != '\0'; };
    return requested == UiChoice::Qt ||
           (requested == UiChoice::Default && (set(display) || set(wayland)));
}

std::unique_ptr<UiEngine> QtEngineLoader::OpenModule(const std::string& path,
                                                     const CallbackTable& callbacks) {
    // RTLD_LOCAL keeps Qt's symbols out of the program's namespace. The handle
    // is never closed: Qt registers exit-time cleanups that must find their
    // code still mapped.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* reason = dlerror();
        last_error_ = "cannot load the Qt panel module " + path + " (" +
                      (reason != nullptr ? reason : "unknown reason") + ")";
        return nullptr;
    }
    auto create = reinterpret_cast<CreateQtEngineFn>(dlsym(module, kQtEntryPoint));
    if (create == nullptr) {
        last_error_ = "the Qt panel module " + path + " lacks its entry point " + kQtEntryPoint +
                      "; reinstall a module that matches this program";
        return nullptr;
    }
    std::string reason;
    std::unique_ptr<UiEngine> engine(create(&callbacks, &reason));
    if (engine == nullptr) {
        last_error_ = "the Qt panel engine cannot start: " + reason;
    }
    return engine;
}

std::unique_ptr<UiEngine> QtEngineLoader::LoadFrom(const std::string& path,
                                                   const CallbackTable& callbacks) {
    // Qt starts threads of its own (the display connection's reader among
    // them). They are made with every signal blocked, so that a signal to the
    // process can only be taken by the main thread, whose interrupt bracket
    // holds it off: otherwise a Ctrl-C could be taken by a Qt thread and end
    // the process between the two stages of a PLL update.
    base::SignalBlock signals;
    signals.Block();
    std::unique_ptr<UiEngine> engine = OpenModule(path, callbacks);
    signals.Restore();
    return engine;
}

std::unique_ptr<UiEngine> QtEngineLoader::Load(const CallbackTable& callbacks) {
    std::string tried;
    for (const std::string& path :
         InstalledFileCandidates(InstalledFolder::Module, kQtModuleFile)) {
        if (access(path.c_str(), F_OK) != 0) {
            tried += tried.empty() ? path : ", " + path;
            continue;
        }
        // A module that exists but fails decides: a broken install or a
        // missing display should be reported, not hidden by the next folder.
        return LoadFrom(path, callbacks);
    }
    last_error_ = "the Qt panel module is not installed (looked for " + tried +
                  "); use --ui=console or install the Qt module";
    return nullptr;
}

}  // namespace ruvuvuri::ui
