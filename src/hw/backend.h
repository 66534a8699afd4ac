// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "hw/port_io.h"

namespace ruvuvuri::hw {

// The card as the first run after the machine started read it: both PLL
// words and the three timings, what --restore writes back.
struct StartedClocks {
    std::uint32_t core_pll = 0;
    std::uint32_t memory_pll = 0;
    std::array<std::uint32_t, 3> timings{};

    bool operator==(const StartedClocks&) const = default;
};
// As one line of a record file, "core_pll=0x… memory_pll=0x… timings=0x…,0x…,0x…".
std::string FormatStarted(const StartedClocks& started);
std::optional<StartedClocks> ParseStarted(const std::string& text);

// A small file of the program's own, read and rewritten whole: the clocks the
// card started with, the at-boot guard. Opened once (created 0600 when
// missing, with its folder, never through a symbolic link); the real card's
// are opened as root, and the hold keeps working after root is given up.
// Throws PlatformError naming the file and the remedy.
class RecordFile {
  public:
    explicit RecordFile(const std::filesystem::path& path);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // What it holds: as read when opened, or as last written.
    const std::string& text() const { return text_; }
    // Replaces what the file holds, flushed to the disk.
    void Write(const std::string& text);

  private:
    std::filesystem::path path_;
    std::intptr_t held_ = -1;  // a descriptor, or a Windows handle
    std::string text_;
};

// Holds what a backend needs until the run ends; the ports, the memory read and
// the interrupt bracket are all behind io().
class OpenedBackend {
  public:
    virtual ~OpenedBackend() = default;

    virtual PortIo& io() = 0;

    // Once the run's hardware work is done: writes back the state that outlives
    // the process (a simulated card kept in a profile). Throws PlatformError.
    virtual void Save() {}

    // The clocks the card started with in this boot, once a run has read it.
    virtual std::optional<StartedClocks> Started() { return started_; }
    // Keeps what a run read, unless this boot has a record already.
    virtual void KeepStarted(const StartedClocks& read) { started_ = started_.value_or(read); }
    // The guard of settings applied at start (--at-boot); none for a card that
    // lives only for the run. The real card's is opened before root is given up.
    virtual std::unique_ptr<RecordFile> OpenBootGuard() { return nullptr; }

  private:
    std::optional<StartedClocks> started_;
};

// Where the real card's own records live, and whether a record was made in
// this boot: each platform says (linux_ports.cpp, win_ports.cpp).
struct RealCardFiles {
    std::filesystem::path started;
    std::filesystem::path boot_guard;
    std::string boot;  // names this boot; a record of another one is stale
};
RealCardFiles RealCardFilesHere();
// Whether a record's boot (its first word) is this one.
bool SameBoot(const std::string& recorded, const std::string& now);

// The real card, held with the platform's hardware lock (two interleaved
// register window sequences would corrupt each other's accesses), with the
// record of the clocks it started with, all opened as root. The ports are
// opened first (by the caller) and given back before the lock.
template <typename Lock>
class LockedPorts final : public OpenedBackend {
  public:
    explicit LockedPorts(std::unique_ptr<PortIo> io)
        : io_(std::move(io)), files_(RealCardFilesHere()), started_(files_.started) {}
    PortIo& io() override { return *io_; }

    std::optional<StartedClocks> Started() override {
        const std::string& text = started_.text();
        const std::size_t end = text.find(' ');
        return end != std::string::npos && SameBoot(text.substr(0, end), files_.boot)
                   ? ParseStarted(text.substr(end + 1))
                   : std::nullopt;
    }
    void KeepStarted(const StartedClocks& read) override {
        if (!Started()) {
            started_.Write(files_.boot + " " + FormatStarted(read));
        }
    }
    std::unique_ptr<RecordFile> OpenBootGuard() override {
        return std::make_unique<RecordFile>(files_.boot_guard);
    }

  private:
    Lock lock_;
    std::unique_ptr<PortIo> io_;
    RealCardFiles files_;
    RecordFile started_;
};

// One access method, as libpci lists them: a new platform adds a record (and
// its own files), and nothing that opens or uses a backend changes.
struct BackendRecord {
    const char* name;
    const char* help;  // one line
    bool (*detect)();  // whether it can run on this machine at all
    // Opened before the run gives up root: takes only what needs root and
    // opens no path a user named. Otherwise opened after, with the user's
    // rights.
    bool needs_root;
    // `profile` names the file of a simulated card kept in a profile. Throws
    // PlatformError (or ProfileError) naming the cause and the remedy.
    std::unique_ptr<OpenedBackend> (*open)(const std::string& profile);
};

}  // namespace ruvuvuri::hw
