// SPDX-License-Identifier: GPL-2.0-or-later
#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/startup.h"

// The Windows entry point: argv built from the command line by the program's
// own splitting rules, argv[0] from the module's file name.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        char module[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
        const std::string path(module, length < MAX_PATH ? length : 0);
        std::vector<std::string> arguments = ruvuvuri::app::SplitCommandLine(GetCommandLineA());
        arguments.insert(arguments.begin(), ruvuvuri::app::ProgramNameFromModulePath(path));
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        return ruvuvuri::app::RunProgram(static_cast<int>(arguments.size()), argv.data());
    } catch (const std::exception& error) {
        // Out of memory while building argv, or an error nothing else caught.
        MessageBoxA(nullptr, error.what(), "Ruvuvuri", MB_OK | MB_ICONERROR);
        return -1;
    }
}
