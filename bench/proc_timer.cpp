// SPDX-License-Identifier: GPL-2.0-or-later
// Times whole processes from fork to the end of wait4 with the monotonic
// clock, and takes each one's peak memory from the rusage wait4 returns.
//
//   proc_timer [--runs N] [--warmup N] [--timeout-ms MS] -- PROG ARGS... [-- PROG ARGS...]
//
// The commands run interleaved (A B A B ...), so that a change in machine load
// during the measurement falls on all of them alike. Each child gets /dev/null
// for stdin, stdout and stderr and its own process group. A child that outlives
// the timeout is killed with its group and the command is not run again. One
// line per command goes to stdout:
//
//   command=1 runs=200 median_us=812.4 p10_us=... p90_us=... min_us=...
//   cpu_median_us=... max_rss_kib=1480 status=ok
//
// cpu_median_us is the child's user + system time, which other load on the
// machine disturbs far less than the wall-clock time.
//
// status is ok, timeout, exit:N, signal:N or fork-failed; the times and the
// memory cover the runs that ended normally. The exit status is 0 unless the
// arguments are wrong: a command that fails is a measurement, reported above.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

struct Command {
    std::vector<char*> argv;  // null-terminated
    std::vector<double> micros;
    std::vector<double> cpu_micros;
    long max_rss_kib = 0;
    std::string status = "ok";
    bool failed = false;
};

struct Options {
    int runs = 100;
    int warmup = 3;
    long timeout_ms = 0;  // 0: wait as long as it takes
    std::vector<Command> commands;
};

struct RunResult {
    double micros = 0.0;
    double cpu_micros = 0.0;  // user + system time of the child
    long max_rss_kib = 0;
    std::string status = "ok";
};

double Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

double Micros(const timeval& tv) {
    return static_cast<double>(tv.tv_sec) * 1e6 + static_cast<double>(tv.tv_usec);
}

std::string StatusText(int status) {
    char text[32];
    if (WIFSIGNALED(status)) {
        std::snprintf(text, sizeof text, "signal:%d", WTERMSIG(status));
    } else if (WEXITSTATUS(status) != 0) {
        std::snprintf(text, sizeof text, "exit:%d", WEXITSTATUS(status));
    } else {
        return "ok";
    }
    return text;
}

// SIGCHLD is blocked in the parent, so that the wait for the child can have a
// deadline (sigtimedwait) without polling; the child gets the old mask back.
RunResult RunOnce(Command& command, long timeout_ms, int dev_null, const sigset_t& old_mask) {
    RunResult result;
    const double start = Now();
    const pid_t pid = fork();
    if (pid < 0) {
        result.status = "fork-failed";
        return result;
    }
    if (pid == 0) {
        setpgid(0, 0);
        sigprocmask(SIG_SETMASK, &old_mask, nullptr);
        dup2(dev_null, STDIN_FILENO);
        dup2(dev_null, STDOUT_FILENO);
        dup2(dev_null, STDERR_FILENO);
        execv(command.argv[0], command.argv.data());
        _exit(127);
    }
    setpgid(pid, pid);

    int status = 0;
    rusage usage{};
    if (timeout_ms > 0) {
        sigset_t chld;
        sigemptyset(&chld);
        sigaddset(&chld, SIGCHLD);
        const double deadline = start + static_cast<double>(timeout_ms) * 1e3;
        for (;;) {
            const double left = deadline - Now();
            if (left <= 0.0) {
                kill(-pid, SIGKILL);
                wait4(pid, &status, 0, &usage);
                result.status = "timeout";
                return result;
            }
            timespec wait_for{static_cast<time_t>(left / 1e6),
                              static_cast<long>(std::fmod(left, 1e6) * 1e3)};
            if (sigtimedwait(&chld, nullptr, &wait_for) == SIGCHLD &&
                wait4(pid, &status, WNOHANG, &usage) == pid) {
                break;
            }
        }
    } else {
        while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
        }
    }
    result.micros = Now() - start;
    result.cpu_micros = Micros(usage.ru_utime) + Micros(usage.ru_stime);
    result.max_rss_kib = usage.ru_maxrss;
    result.status = StatusText(status);
    return result;
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const double position = fraction * static_cast<double>(values.size() - 1);
    const auto below = static_cast<std::size_t>(position);
    const std::size_t above = std::min(below + 1, values.size() - 1);
    const double weight = position - static_cast<double>(below);
    return values[below] * (1.0 - weight) + values[above] * weight;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const bool has_value = i + 1 < argc;
        if (std::strcmp(argv[i], "--runs") == 0 && has_value) {
            options.runs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--warmup") == 0 && has_value) {
            options.warmup = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--timeout-ms") == 0 && has_value) {
            options.timeout_ms = std::atol(argv[++i]);
        } else {
            std::fprintf(stderr, "proc_timer: unknown option %s\n", argv[i]);
            return false;
        }
    }
    for (; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            options.commands.emplace_back();
        } else {
            options.commands.back().argv.push_back(argv[i]);
        }
    }
    for (Command& command : options.commands) {
        if (command.argv.empty()) {
            std::fprintf(stderr, "proc_timer: an empty command after --\n");
            return false;
        }
        command.argv.push_back(nullptr);
    }
    return !options.commands.empty() && options.runs > 0 && options.warmup >= 0;
}

void Record(Command& command, const RunResult& result, bool counted) {
    if (result.status != "ok") {
        command.status = result.status;
        command.failed = true;
        return;
    }
    if (counted) {
        command.micros.push_back(result.micros);
        command.cpu_micros.push_back(result.cpu_micros);
        command.max_rss_kib = std::max(command.max_rss_kib, result.max_rss_kib);
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: proc_timer [--runs N] [--warmup N] [--timeout-ms MS] "
                     "-- PROG ARGS... [-- PROG ARGS...]\n");
        return 2;
    }
    const int dev_null = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (dev_null < 0) {
        std::perror("proc_timer: /dev/null");
        return 2;
    }
    sigset_t chld;
    sigset_t old_mask;
    sigemptyset(&chld);
    sigaddset(&chld, SIGCHLD);
    sigprocmask(SIG_BLOCK, &chld, &old_mask);

    const int total = options.warmup + options.runs;
    for (int round = 0; round < total; ++round) {
        for (Command& command : options.commands) {
            if (!command.failed) {
                Record(command, RunOnce(command, options.timeout_ms, dev_null, old_mask),
                       round >= options.warmup);
            }
        }
    }

    for (std::size_t i = 0; i < options.commands.size(); ++i) {
        const Command& c = options.commands[i];
        std::printf(
            "command=%zu runs=%zu median_us=%.1f p10_us=%.1f p90_us=%.1f min_us=%.1f "
            "cpu_median_us=%.1f max_rss_kib=%ld status=%s\n",
            i + 1, c.micros.size(), Percentile(c.micros, 0.5), Percentile(c.micros, 0.1),
            Percentile(c.micros, 0.9), Percentile(c.micros, 0.0), Percentile(c.cpu_micros, 0.5),
            c.max_rss_kib, c.status.c_str());
    }
    return 0;
}
