// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

namespace ruvuvuri::ui {

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

}  // namespace ruvuvuri::ui
