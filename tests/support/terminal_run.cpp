// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/terminal_run.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>

namespace ruvuvuri::test {

TerminalRun RunRuvuvuriOnTerminal(const std::vector<std::string>& args, const std::string& input,
                                  const TerminalScript& script) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    const std::string slave = ptsname(master);
    TempDir dir;
    const std::string in_path = dir / "stdin", out_path = dir / "stdout", err_path = dir / "stderr";
    WriteFile(in_path, input);

    const std::string program = std::string(RUVUVURI_BINARY_DIR) + "/ruvuvuri";
    const pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        // A new session: the first terminal it opens becomes its controlling one.
        setsid();
        const int tty = open(slave.c_str(), O_RDWR);
        const int in = open(in_path.c_str(), O_RDONLY);
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (tty < 0 || in < 0 || out < 0 || err < 0) {
            _exit(126);
        }
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        close(tty);
        for (const char* name :
             {"DISPLAY", "WAYLAND_DISPLAY", "SUDO_UID", "SUDO_GID", "PKEXEC_UID"}) {
            unsetenv(name);
        }
        std::vector<char*> argv = {const_cast<char*>(program.c_str())};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }

    TerminalRun run;
    int status = 0;
    bool acted = false;
    for (;;) {
        pollfd fd = {master, POLLIN, 0};
        if (poll(&fd, 1, 50) > 0 && (fd.revents & POLLIN) != 0) {
            char buffer[512];
            const ssize_t got = read(master, buffer, sizeof buffer);
            if (got > 0) {
                run.terminal.append(buffer, static_cast<std::size_t>(got));
            }
        }
        if (!acted && run.terminal.find("Reverting in") != std::string::npos) {
            acted = run.asked = true;
            if (script.signal != 0) {
                kill(child, script.signal);
            } else if (!script.answer.empty()) {
                const std::string line = script.answer + "\n";
                if (write(master, line.data(), line.size()) < 0) {
                    throw std::runtime_error("cannot type on the terminal");
                }
            }
        }
        if (waitpid(child, &status, WNOHANG) == child) {
            break;
        }
    }
    // What the program wrote just before it ended.
    for (pollfd fd = {master, POLLIN, 0}; poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN) != 0;) {
        char buffer[512];
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        run.terminal.append(buffer, static_cast<std::size_t>(got));
    }
    close(master);
    run.result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.result.out = ReadFile(out_path);
    run.result.err = ReadFile(err_path);
    return run;
}

}  // namespace ruvuvuri::test
