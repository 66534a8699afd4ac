// SPDX-License-Identifier: GPL-2.0-or-later
// SIGINT, SIGTERM and SIGHUP during a run on a simulated card kept in a
// profile: the card stands for hardware, so the run saves it as it is when the
// signal takes effect, and the interrupt bracket makes sure that is never with
// a PLL between its two stages. A card whose bracket does not hold off signals
// shows that the experiment can tell the difference.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "hw/backends/card_profile.h"
#include "hw/backends/sim_backend.h"
#include "hw/register_window.h"
#include "support/expected_trace.h"
#include "support/profiles.h"
#include "support/run_program.h"

namespace ruvuvuri::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::uint32_t kCore = 0x680500, kMem = 0x680504;
// Both PLLs start with P = 1; `c=200 m=183` asks for P = 0 in both, so the
// first stage (new M and N under the old P) differs from the final word.
constexpr std::uint32_t kOldCore = 0x00017b0b, kNewCore = 0x00006207, kCoreStage = 0x00016207;
constexpr std::uint32_t kOldMem = 0x0001740a, kNewMem = 0x00007309, kMemStage = 0x00017309;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kRuns = 30;

struct Child {
    pid_t pid = -1;
    int input = -1;   // the child's stdin, when piped
    int output = -1;  // the child's stdout, when piped
};

// Starts the built program without a display. Without `piped`, its stdin,
// stdout and stderr are /dev/null.
Child Start(const std::vector<std::string>& args, bool piped) {
    int in_pipe[2] = {-1, -1}, out_pipe[2] = {-1, -1};
    if (piped && (pipe2(in_pipe, O_CLOEXEC) != 0 || pipe2(out_pipe, O_CLOEXEC) != 0)) {
        throw std::runtime_error("pipe failed");
    }
    const std::string program = std::string(RUVUVURI_BINARY_DIR) + "/ruvuvuri";
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    Child child;
    child.pid = fork();
    if (child.pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(piped ? in_pipe[0] : null, 0);
        dup2(piped ? out_pipe[1] : null, 1);
        dup2(null, 2);
        const rlimit no_core = {0, 0};  // SIGQUIT would leave a core file
        setrlimit(RLIMIT_CORE, &no_core);
        signal(SIGPIPE, SIG_DFL);  // as a shell starts it, whatever ran the test
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (piped) {
        close(in_pipe[0]);
        close(out_pipe[1]);
        child.input = in_pipe[1];
        child.output = out_pipe[0];
    }
    return child;
}

int Wait(const Child& child) {
    int status = 0;
    waitpid(child.pid, &status, 0);
    if (child.input >= 0) {
        close(child.input);
    }
    if (child.output >= 0) {
        close(child.output);
    }
    return status;
}

std::string ProfileInject(bool bracket_ignores_signals) {
    return std::string(R"({"access_delay_us": 150, "bracket_ignores_signals": )") +
           (bracket_ignores_signals ? "true}" : "false}");
}

std::filesystem::path WriteSlowCard(const std::filesystem::path& folder, bool broken_bracket) {
    ProfileCard card;
    card.registers[kCore] = kOldCore;
    card.registers[kMem] = kOldMem;
    card.inject = ProfileInject(broken_bracket);
    return WriteProfile(folder, card);
}

std::vector<std::string> RunArgs(const std::filesystem::path& profile,
                                 const std::filesystem::path& trace) {
    return {"--sim=" + profile.string(), "--trace=" + trace.string(), "c=200", "m=183"};
}

// How long one run on the slow card takes, signals aside.
Clock::duration RunDuration() {
    TempDir dir;
    const auto profile = WriteSlowCard(dir.path(), false);
    const auto start = Clock::now();
    const int status = Wait(Start(RunArgs(profile, dir / "run.trace"), false));
    const auto duration = Clock::now() - start;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(SavedRegister(profile, kCore), kNewCore);
    EXPECT_EQ(SavedRegister(profile, kMem), kNewMem);
    return duration;
}

struct Outcome {
    int signalled = 0;
    int finished = 0;
    int held_by_bracket = 0;  // the signal arrived inside the bracket and waited for its end
    int between_stages = 0;   // a PLL was saved holding its first-stage word
    int bracket_faults = 0;
};

// Runs the program kRuns times, each on a fresh copy of the slow card, and
// sends each run a stop signal at a different moment across its duration.
Outcome Experiment(bool broken_bracket, Clock::duration duration) {
    Outcome outcome;
    for (int i = 0; i < kRuns; ++i) {
        const int signal = kSignals[i % 3];
        const auto delay = duration * i / (kRuns - 1);
        SCOPED_TRACE("run " + std::to_string(i) + ", signal " + std::to_string(signal));
        TempDir dir;
        const auto profile = WriteSlowCard(dir.path(), broken_bracket);
        const auto trace = dir / "run.trace";

        const Child child = Start(RunArgs(profile, trace), false);
        std::this_thread::sleep_for(delay);
        kill(child.pid, signal);
        const int status = Wait(child);

        if (WIFSIGNALED(status)) {
            EXPECT_EQ(WTERMSIG(status), signal);
            ++outcome.signalled;
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            ++outcome.finished;
        }
        const std::string text = ReadFile(profile);
        hw::CardState saved;
        try {
            saved = hw::ParseProfile(text, dir.path(), "saved");
        } catch (const hw::ProfileError& error) {
            ADD_FAILURE() << error.what();
            continue;
        }
        const std::uint32_t core = saved.registers.at(kCore);
        const std::uint32_t mem = saved.registers.at(kMem);
        outcome.between_stages += core == kCoreStage || mem == kMemStage;
        if (!broken_bracket) {
            EXPECT_TRUE(core == kOldCore || core == kNewCore) << std::hex << core;
            EXPECT_TRUE(mem == kOldMem || mem == kNewMem) << std::hex << mem;
        }
        for (const std::string& fault : saved.faults) {
            outcome.bracket_faults +=
                fault.find("inside the interrupt bracket") != std::string::npos;
            if (!broken_bracket) {
                ADD_FAILURE() << fault;
            }
        }
        // The bracket closes with "irq on" after the card has stopped, so a run
        // stopped by a signal that the bracket held off ends its trace inside it.
        const auto lines = SplitLines(ReadFile(trace));
        const bool opened = std::find(lines.begin(), lines.end(), "irq off") != lines.end();
        const bool closed = std::find(lines.begin(), lines.end(), "irq on") != lines.end();
        outcome.held_by_bracket += WIFSIGNALED(status) && opened && !closed && !broken_bracket;
    }
    return outcome;
}

TEST(StopSignals, NeverLeaveAPllBetweenItsStages) {
    const auto duration = RunDuration();
    ASSERT_GT(duration, milliseconds(30)) << "the card is too fast to aim signals at";
    ASSERT_LT(duration, milliseconds(400));

    const Outcome working = Experiment(false, duration);
    std::printf("working bracket: %d signalled, %d finished, %d held off by the bracket\n",
                working.signalled, working.finished, working.held_by_bracket);
    EXPECT_EQ(working.between_stages, 0);
    EXPECT_EQ(working.bracket_faults, 0);
    // The experiment did aim at the bracket, and at the rest of the run.
    EXPECT_GT(working.held_by_bracket, 0);
    EXPECT_GT(working.signalled, working.held_by_bracket);

    // The negative control: the same runs on a bracket that lets signals
    // through are caught between stages or inside the bracket.
    const Outcome broken = Experiment(true, duration);
    std::printf("broken bracket: %d signalled, %d between stages, %d bracket faults\n",
                broken.signalled, broken.between_stages, broken.bracket_faults);
    EXPECT_GT(broken.between_stages + broken.bracket_faults, 0);
    EXPECT_GT(broken.bracket_faults, 0);
}

// Waits until the child's stdout has shown `count` panels.
bool WaitForPanels(int fd, int count, milliseconds timeout) {
    std::string out;
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        pollfd ready = {fd, POLLIN, 0};
        if (poll(&ready, 1, 50) > 0) {
            char buffer[4096];
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got <= 0) {
                return false;
            }
            out.append(buffer, static_cast<std::size_t>(got));
        }
        int shown = 0;
        for (std::size_t at = out.find("Core clock"); at != std::string::npos;
             at = out.find("Core clock", at + 1)) {
            ++shown;
        }
        if (shown >= count) {
            return true;
        }
    }
    return false;
}

// The console panel waiting for its next command: the interrupted read ends the
// panel as at the end of its input, the card is saved with what was applied,
// and the process still ends by the signal. That holds for every signal whose
// default action ends the process, SIGPIPE from a stdout closed under the
// panel included.
TEST(StopSignals, WhileThePanelWaitsSaveWhatWasApplied) {
    const int stop_signals[] = {SIGINT,  SIGTERM, SIGHUP,       SIGQUIT,
                                SIGUSR1, SIGALRM, SIGRTMIN + 3, SIGPIPE};
    for (const int signal : stop_signals) {
        SCOPED_TRACE(signal);
        TempDir dir;
        const auto profile = WriteProfile(dir.path(), {});
        Child child = Start({"--sim=" + profile.string(), "--ui=console"}, true);
        const std::string commands = "core 150\napply\ny\n";
        ASSERT_EQ(write(child.input, commands.data(), commands.size()),
                  static_cast<ssize_t>(commands.size()));
        // The first panel, the edited one and the one after the apply.
        const bool applied = WaitForPanels(child.output, 3, milliseconds(5000));
        if (signal == SIGPIPE) {
            // Nobody reads the panel any more; its answer to the next command
            // raises the signal.
            close(child.output);
            child.output = -1;
            const std::string show = "show\n";
            EXPECT_EQ(write(child.input, show.data(), show.size()),
                      static_cast<ssize_t>(show.size()));
        } else {
            kill(child.pid, signal);
        }
        const int status = Wait(child);

        ASSERT_TRUE(applied);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(SavedRegister(profile, kCore), 0x880du);
        const hw::CardState saved = hw::ParseProfile(ReadFile(profile), dir.path(), "saved");
        EXPECT_TRUE(saved.faults.empty());
    }
}

// --- In process: where a signal takes effect --------------------------------

// The test's own handler; the program's lives in the app layer.
volatile std::sig_atomic_t test_pending = 0;
extern "C" void RecordSignal(int signal) {
    test_pending = signal;
}

// A PLL update with a SIGINT raised between its stages. The working bracket
// holds the signal off until it closes: the card stops once, with the PLL
// complete. Without the hold the card stops inside the bracket, between stages.
TEST(StopSignals, TheBracketHoldsASignalUntilItCloses) {
    struct Case {
        bool bracket_ignores_signals;
        std::uint32_t pll_at_stop;
        bool inside_bracket;
    } cases[] = {{false, kNewCore, false}, {true, kCoreStage, true}};
    struct sigaction action {
    }, previous{};
    action.sa_handler = RecordSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bracket_ignores_signals);
        hw::CardState state;
        state.registers = {{kCore, kOldCore}};
        state.inject.bracket_ignores_signals = c.bracket_ignores_signals;
        hw::SimBackend card(state);
        hw::RegisterWindow window(card.io());
        card.io().outw(0x3d4, 0x571f);
        int stops = 0;
        std::uint32_t pll_at_stop = 0;
        bool inside_bracket = false;
        card.stop_points().set_stop_point(&test_pending, [&] {
            if (stops++ == 0) {
                pll_at_stop = card.state().registers.at(kCore);
                inside_bracket = card.model().interrupts_disabled();
            }
            test_pending = 0;
        });

        card.io().DisableInterrupts();
        window.OUT_LONGWORD(kCore, kCoreStage);
        raise(SIGINT);
        window.IN_LONGWORD(kCore);
        window.OUT_LONGWORD(kCore, kNewCore);
        card.io().EnableInterrupts();

        EXPECT_EQ(stops, 1);
        EXPECT_EQ(pll_at_stop, c.pll_at_stop);
        EXPECT_EQ(inside_bracket, c.inside_bracket);
    }
    sigaction(SIGINT, &previous, nullptr);
}

}  // namespace
}  // namespace ruvuvuri::test
