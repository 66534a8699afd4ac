// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/keep_question.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include "hw/backends/write_all.h"

namespace ruvuvuri::app {
namespace {

// Those that end the run, and SIGTSTP: either would leave the new clocks
// running unconfirmed, so both count as a no and take effect after the revert.
// SIGTTIN and SIGTTOU are held so that a run in the background gets an error
// from the terminal (and reverts) instead of being stopped by it.
constexpr int kHeldSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT, SIGPIPE, SIGALRM,
                                SIGUSR1, SIGUSR2, SIGTSTP, SIGTTIN, SIGTTOU};

bool IsYes(std::string answer) {
    std::string word;
    for (const char c : answer) {
        if (!std::isspace(static_cast<unsigned char>(c))) {
            word.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        }
    }
    return word == "y" || word == "yes";
}

class Tty final : public Terminal {
  public:
    explicit Tty(int fd) : fd_(fd) {}
    ~Tty() override { ::close(fd_); }
    Tty(const Tty&) = delete;
    Tty& operator=(const Tty&) = delete;

    bool AskToKeep(int seconds, int signal_fd) override;
    void Say(const std::string& line) override;

  private:
    int fd_;
};

}  // namespace

struct HeldStopSignals::Mask {
    sigset_t set;
};

HeldStopSignals::HeldStopSignals() : saved_(std::make_unique<Mask>()) {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : kHeldSignals) {
        sigaddset(&held, signal);
    }
    pthread_sigmask(SIG_BLOCK, &held, &saved_->set);
    // Without the descriptor the question still ends when its time is up.
    fd_ = signalfd(-1, &held, SFD_CLOEXEC | SFD_NONBLOCK);
}

HeldStopSignals::~HeldStopSignals() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    pthread_sigmask(SIG_SETMASK, &saved_->set, nullptr);
}

std::unique_ptr<Terminal> OpenTerminal(const char* path, std::string* why) {
    const int fd = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *why = std::string(path) + ": " + std::strerror(errno);
        return nullptr;
    }
    if (!isatty(fd)) {
        ::close(fd);
        *why = std::string(path) + " is not a terminal";
        return nullptr;
    }
    return std::make_unique<Tty>(fd);
}

void Tty::Say(const std::string& line) {
    const std::string text = line + "\n";
    hw::WriteAll(fd_, text.data(), text.size());
}

bool Tty::AskToKeep(int seconds, int signal_fd) {
    // Only an answer typed after the question counts.
    tcflush(fd_, TCIFLUSH);
    const std::string question =
        "Keep these settings? Reverting in " + std::to_string(seconds) + " s [yes/no]: ";
    if (::write(fd_, question.data(), question.size()) < 0) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::string line;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fds[2] = {{fd_, POLLIN, 0}, {signal_fd, POLLIN, 0}};
        const int ready = left.count() > 0 ? poll(fds, 2, static_cast<int>(left.count())) : 0;
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (left.count() <= 0 || ready < 0 || (fds[1].revents & POLLIN) != 0) {
            Say("");
            return false;
        }
        if (ready == 0) {
            continue;
        }
        char buffer[128];
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (got <= 0) {
            return false;  // the terminal hung up
        }
        line.append(buffer, static_cast<std::size_t>(got));
        if (const auto end = line.find('\n'); end != std::string::npos) {
            return IsYes(line.substr(0, end));
        }
    }
}

}  // namespace ruvuvuri::app
