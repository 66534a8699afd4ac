// SPDX-License-Identifier: GPL-2.0-or-later
#include <windows.h>

#include <functional>
#include <iostream>
#include <string>

#include "app/host.h"
#include "base/printable.h"
#include "base/win_error_text.h"
#include "hw/backends/win_ports.h"
#include "ui/console_engine.h"
#include "ui/win32/win32_engine.h"

// Windows: a GUI program has no console of its own. Text goes to the output
// the program was given (a pipe or file when redirected), else to the console
// it was started from (AttachConsole, XP and later, looked up at run time),
// else into a message box titled "Ruvuvuri".
namespace ruvuvuri::app::host {
namespace {

constexpr const char* kTitle = "Ruvuvuri";

bool IsUsable(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// The parent's console, attached once; nullptr where there is none.
HANDLE ParentConsole() {
    static HANDLE console = [] {
        using AttachConsoleFn = BOOL(WINAPI*)(DWORD);
        const auto attach = reinterpret_cast<AttachConsoleFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "AttachConsole")));
        if (attach == nullptr || !attach(static_cast<DWORD>(-1))) {  // ATTACH_PARENT_PROCESS
            return static_cast<HANDLE>(nullptr);
        }
        HANDLE output =
            CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        return output == INVALID_HANDLE_VALUE ? static_cast<HANDLE>(nullptr) : output;
    }();
    return console;
}

bool WriteTo(HANDLE handle, const std::string& text) {
    DWORD wrote = 0;
    return WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr) &&
           wrote == text.size();
}

// True when the text reached a redirected output or the parent's console.
bool WriteOut(DWORD standard, const std::string& text) {
    HANDLE handle = GetStdHandle(standard);
    if (IsUsable(handle)) {
        return WriteTo(handle, text);
    }
    if (HANDLE console = ParentConsole()) {
        std::string lines;
        for (const char c : text) {
            if (c == '\n') {
                lines += '\r';
            }
            lines += c;
        }
        return WriteTo(console, lines);
    }
    return false;
}

// The program's full path; empty should it not fit MAX_PATH.
std::string ProgramPath() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length < MAX_PATH ? length : 0);
}

std::string ProgramFolder() {
    const std::string path = ProgramPath();
    const std::size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace

void Warn(const std::string& text) {
    // A program started from the desktop has nowhere to say this; the run
    // goes on as it would without the warning.
    WriteOut(STD_ERROR_HANDLE, "ruvuvuri: " + base::Printable(text) + "\n");
}

// A script that captures the error output gets the line there and is not held
// up by a box nobody may be there to close; everyone else sees the box.
void ReportFailure(const std::string& text) {
    if (IsUsable(GetStdHandle(STD_ERROR_HANDLE))) {
        Warn(text);
        return;
    }
    MessageBoxA(nullptr, ui::win32::ToAnsi(text).c_str(), kTitle, MB_OK | MB_ICONERROR);
}

void PrintText(const std::string& text) {
    if (!WriteOut(STD_OUTPUT_HANDLE, text)) {
        MessageBoxA(nullptr, ui::win32::ToAnsi(text).c_str(), kTitle, MB_OK | MB_ICONINFORMATION);
    }
}

std::string PanelFilePath() {
    return ProgramFolder() + kPanelFileName;
}

bool DialogPanelPossible(UiChoice) {
    // The native panel asks no timed question of its own.
    return false;
}

std::unique_ptr<ui::UiEngine> OpenUiEngine(UiChoice choice, const ui::CallbackTable& callbacks,
                                           bool* /*asks_in_dialog*/) {
    if (choice == UiChoice::Console) {
        return ui::CreateConsoleEngine(callbacks, std::cin, std::cout, std::cerr);
    }
    return ui::win32::CreateWin32Engine(callbacks);
}

// The NT family's record first (2000/XP, and the 64-bit systems it refuses),
// then the 95 family's.
std::span<const hw::BackendRecord* const> HardwareBackends() {
    static const hw::BackendRecord* const records[] = {&hw::kWinNtPortsBackend,
                                                       &hw::kWin95PortsBackend};
    return records;
}

void DropToInvokingUser() {
    // The program runs as the user who started it: Windows 2000/XP starts it
    // with that user's own token ("Run as..." is that user's choice), and
    // there is no setuid to undo. The I/O privilege level stays with the
    // process; an administrator's token cannot be given up in place.
}

std::unique_ptr<Terminal> OpenKeepTerminal(bool /*dialog_possible*/, std::string* refusal) {
    *refusal =
        "--revert-after is not available on Windows: the program has no terminal on which to "
        "ask, with every way of ending it held off, whether to keep a change; leave "
        "--revert-after out (--dry-run shows a change before it is made); nothing was done";
    return nullptr;
}

namespace {

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunValue = "Ruvuvuri";

// The program's full path and its arguments, each quoted as the command line
// splitting takes it back.
std::string StartCommand(const std::vector<std::string>& arguments) {
    std::string command = "\"";
    command += ProgramPath();
    command += "\" --at-boot";
    for (const std::string& argument : arguments) {
        command += " \"" + argument + "\"";
    }
    return command;
}

// The hidden window's end-of-session message, and what it then runs.
std::function<void()>* session_end = nullptr;

LRESULT CALLBACK OnSessionMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_ENDSESSION && wparam != FALSE && session_end != nullptr) {
        (*session_end)();
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int ChangeStartEntry(bool install, const std::vector<std::string>& arguments) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &key);
    if (status == ERROR_SUCCESS) {
        const std::string command = StartCommand(arguments);
        status = install ? RegSetValueExA(key, kRunValue, 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(command.c_str()),
                                          static_cast<DWORD>(command.size() + 1))
                         : RegDeleteValueA(key, kRunValue);
        RegCloseKey(key);
    }
    if (status == ERROR_FILE_NOT_FOUND && !install) {
        status = ERROR_SUCCESS;  // nothing was there to remove
    }
    if (status != ERROR_SUCCESS) {
        ReportFailure(std::string("cannot change the start entry HKEY_LOCAL_MACHINE\\") + kRunKey +
                      " (" + base::WinErrorText(static_cast<DWORD>(status)) +
                      "); run ruvuvuri as an administrator");
        return -1;
    }
    PrintText(install ? "Ruvuvuri applies these settings at every start: " +
                            StartCommand(arguments) + "\n"
                      : std::string("Ruvuvuri no longer applies settings at start.\n"));
    return 0;
}

void StayUntilSessionEnds(const std::function<void()>& at_end) {
    WNDCLASSA type{};
    type.lpfnWndProc = OnSessionMessage;
    type.hInstance = GetModuleHandleA(nullptr);
    type.lpszClassName = "RuvuvuriSession";
    RegisterClassA(&type);
    std::function<void()> end = at_end;
    session_end = &end;
    // Never shown: it is there for the session's end, which Windows tells
    // every top-level window.
    if (CreateWindowA(type.lpszClassName, "Ruvuvuri", 0, 0, 0, 0, 0, nullptr, nullptr,
                      type.hInstance, nullptr) != nullptr) {
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            DispatchMessageA(&message);
        }
    }
    session_end = nullptr;
}

}  // namespace ruvuvuri::app::host
