// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/install_paths.h"

#include <unistd.h>

#include <climits>

#include "build_config.h"

namespace ruvuvuri::ui {
namespace {

// The folder holding the running program; empty when it cannot be told.
std::string ProgramDirectory() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) {
        return {};
    }
    const std::string program(path, static_cast<std::size_t>(length));
    const std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

}  // namespace

std::vector<std::string> InstalledFileCandidates(InstalledFolder folder, const std::string& name) {
    const std::string program_dir = ProgramDirectory();
    if (program_dir.empty()) {
        return {};
    }
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
