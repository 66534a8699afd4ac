// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/run_program.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>

namespace ruvuvuri::test {
namespace {

void SetEnvironment(const std::map<std::string, std::string>& environment) {
    for (const auto& [name, value] : environment) {
        if (value.empty()) {
            unsetenv(name.c_str());
        } else {
            setenv(name.c_str(), value.c_str(), 1);
        }
    }
}

}  // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input,
                         const std::map<std::string, std::string>& environment,
                         const std::optional<RunAs>& run_as) {
    int in_pipe[2], out_pipe[2], err_pipe[2];
    if (pipe2(in_pipe, O_CLOEXEC) != 0 || pipe2(out_pipe, O_CLOEXEC) != 0 ||
        pipe2(err_pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    // A program that ends before reading all of its input must not take the
    // test down with SIGPIPE: the write below then fails with EPIPE instead.
    // The child gets the default back, since an ignored signal stays ignored
    // across exec.
    std::signal(SIGPIPE, SIG_IGN);
    const pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        std::signal(SIGPIPE, SIG_DFL);
        dup2(in_pipe[0], 0);
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        SetEnvironment(environment);
        if (run_as &&
            (setgroups(0, nullptr) != 0 || setgid(run_as->gid) != 0 || setuid(run_as->uid) != 0)) {
            _exit(126);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);

    // Feed stdin and drain both outputs together, so that neither side can
    // block the other on a full pipe.
    ProgramResult result;
    std::size_t written = 0;
    int in_fd = in_pipe[1];
    if (input.empty()) {
        close(in_fd);
        in_fd = -1;
    }
    bool out_open = true, err_open = true;
    while (out_open || err_open) {
        pollfd fds[3] = {{out_open ? out_pipe[0] : -1, POLLIN, 0},
                         {err_open ? err_pipe[0] : -1, POLLIN, 0},
                         {in_fd, POLLOUT, 0}};
        if (poll(fds, 3, -1) < 0) {
            continue;
        }
        char buffer[4096];
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents & (POLLIN | POLLHUP)) {
                const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
                if (got <= 0) {
                    (i == 0 ? out_open : err_open) = false;
                } else {
                    (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(got));
                }
            }
        }
        if (in_fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t put = (fds[2].revents & POLLOUT)
                                    ? write(in_fd, input.data() + written, input.size() - written)
                                    : -1;
            if (put > 0) {
                written += static_cast<std::size_t>(put);
            }
            if (put <= 0 || written == input.size()) {
                close(in_fd);
                in_fd = -1;
            }
        }
    }
    if (in_fd >= 0) {
        close(in_fd);
    }
    close(out_pipe[0]);
    close(err_pipe[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

ProgramResult RunRuvuvuri(const std::vector<std::string>& args, const std::string& input,
                          const std::map<std::string, std::string>& environment) {
    std::map<std::string, std::string> merged = {{"DISPLAY", ""},
                                                 {"WAYLAND_DISPLAY", ""},
                                                 {"SUDO_UID", ""},
                                                 {"SUDO_GID", ""},
                                                 {"PKEXEC_UID", ""}};
    for (const auto& [name, value] : environment) {
        merged[name] = value;
    }
    return RunProgram(std::string(RUVUVURI_BINARY_DIR) + "/ruvuvuri", args, input, merged);
}

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "ruvuvuri-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace ruvuvuri::test
