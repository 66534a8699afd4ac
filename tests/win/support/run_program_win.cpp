// SPDX-License-Identifier: GPL-2.0-or-later
#include <windows.h>

#include <stdexcept>
#include <thread>

#include "support/run_program.h"

// The test helpers that start programs and make folders, on Windows.
namespace ruvuvuri::test {
namespace {

// Quoted so that the program's own splitting gives the argument back.
std::string Quote(const std::string& argument) {
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string Drain(HANDLE pipe) {
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    return text;
}

void Pipe(HANDLE* read, HANDLE* write, bool child_reads) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(read, write, &inherit, 0)) {
        throw std::runtime_error("CreatePipe failed");
    }
    // Only the child's end is inherited.
    SetHandleInformation(child_reads ? *write : *read, HANDLE_FLAG_INHERIT, 0);
}

}  // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input,
                         const std::map<std::string, std::string>& environment,
                         const std::optional<RunAs>& run_as) {
    if (run_as) {
        throw std::runtime_error("running as another user is a POSIX test's; Windows has none");
    }
    for (const auto& [name, value] : environment) {
        SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
    }
    std::string command = Quote(program);
    for (const std::string& arg : args) {
        command += ' ';
        command += Quote(arg);
    }
    HANDLE in_read, in_write, out_read, out_write, err_read, err_write;
    Pipe(&in_read, &in_write, true);
    Pipe(&out_read, &out_write, false);
    Pipe(&err_read, &err_write, false);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in_read;
    startup.hStdOutput = out_write;
    startup.hStdError = err_write;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        throw std::runtime_error("cannot start " + program);
    }
    CloseHandle(in_read);
    CloseHandle(out_write);
    CloseHandle(err_write);

    ProgramResult result;
    std::thread feed([&] {
        DWORD put = 0;
        ::WriteFile(in_write, input.data(), static_cast<DWORD>(input.size()), &put, nullptr);
        CloseHandle(in_write);
    });
    std::thread errors([&] { result.err = Drain(err_read); });
    result.out = Drain(out_read);
    errors.join();
    feed.join();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    // As a POSIX parent sees it: the low byte, so -1 reads as 255.
    result.exit_code = static_cast<int>(code & 0xFF);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(out_read);
    CloseHandle(err_read);
    return result;
}

ProgramResult RunRuvuvuri(const std::vector<std::string>& args, const std::string& input,
                          const std::map<std::string, std::string>& environment) {
    std::vector<std::string> console{"--ui=console"};
    console.insert(console.end(), args.begin(), args.end());
    std::string program = RUVUVURI_BINARY_DIR;
    program += "/ruvuvuri.exe";
    return RunProgram(program, console, input, environment);
}

TempDir::TempDir() {
    static unsigned counter = 0;
    for (;;) {
        path_ = std::filesystem::temp_directory_path() /
                ("ruvuvuri-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(++counter));
        if (CreateDirectoryA(path_.string().c_str(), nullptr)) {
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            throw std::runtime_error("cannot create a temporary folder");
        }
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace ruvuvuri::test
