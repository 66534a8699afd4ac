// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/engine_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "base/signal_block.h"
#include "build_config.h"

namespace ruvuvuri::ui {
namespace {

// Where the file `name` of `folder` may be, in the order to try.
std::vector<std::string> InstalledFileCandidates(InstalledFolder folder, const std::string& name) {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    const std::string program(path, static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
    // Without the program's folder there is nothing to look beside.
    const std::size_t slash = program.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return {};
    }
    const std::string program_dir = program.substr(0, slash);
    const char* relative =
        folder == InstalledFolder::Data ? RUVUVURI_DATA_DIR_FROM_BIN : RUVUVURI_MODULE_DIR_FROM_BIN;
    return {program_dir + "/" + name, program_dir + "/" + relative + "/" + name};
}

}  // namespace

std::string FindInstalledFile(InstalledFolder folder, const std::string& name) {
    const std::vector<std::string> candidates = InstalledFileCandidates(folder, name);
    for (const std::string& path : candidates) {
        if (access(path.c_str(), F_OK) == 0) {
            return path;
        }
    }
    return candidates.empty() ? name : candidates.back();
}

bool ShouldTryQt(const char* display, const char* wayland, UiChoice requested) {
    const auto set = [](const char* value) { return value != nullptr && value[0] != '\0'; };
    return requested == UiChoice::Qt ||
           (requested == UiChoice::Default && (set(display) || set(wayland)));
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
    // RTLD_LOCAL keeps Qt's symbols out of the program's namespace. The handle
    // is never closed: Qt registers exit-time cleanups that must find their
    // code still mapped.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto create = module != nullptr
                            ? reinterpret_cast<CreateQtEngineFn>(dlsym(module, kQtEntryPoint))
                            : nullptr;
    std::string reason;
    std::unique_ptr<UiEngine> engine(create != nullptr ? create(&callbacks, &reason) : nullptr);
    signals.Restore();
    if (module == nullptr) {
        const char* cause = dlerror();
        last_error_ = "cannot load the Qt panel module " + path + " (" +
                      (cause != nullptr ? cause : "unknown reason") + ")";
    } else if (create == nullptr) {
        last_error_ = "the Qt panel module " + path + " lacks its entry point " + kQtEntryPoint +
                      "; reinstall a module that matches this program";
    } else if (engine == nullptr) {
        last_error_ = "the Qt panel engine cannot start: " + reason;
    }
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
