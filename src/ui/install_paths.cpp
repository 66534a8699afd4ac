// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/install_paths.h"

#include <unistd.h>

#include <algorithm>
#include <climits>

#include "build_config.h"

namespace ruvuvuri::ui {

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

std::string FindInstalledFile(InstalledFolder folder, const std::string& name) {
    const std::vector<std::string> candidates = InstalledFileCandidates(folder, name);
    for (const std::string& path : candidates) {
        if (access(path.c_str(), F_OK) == 0) {
            return path;
        }
    }
    return candidates.empty() ? name : candidates.back();
}

}  // namespace ruvuvuri::ui
