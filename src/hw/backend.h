// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "hw/port_io.h"

namespace ruvuvuri::hw {

// Holds what a backend needs until the run ends; the ports, the memory read and
// the interrupt bracket are all behind io().
class OpenedBackend {
  public:
    virtual ~OpenedBackend() = default;

    virtual PortIo& io() = 0;

    // Once the run's hardware work is done: writes back the state that outlives
    // the process (a simulated card kept in a profile). Throws PlatformError.
    virtual void Save() {}
};

// Held with the platform's hardware lock: two interleaved register window
// sequences would corrupt each other's accesses. The ports are opened first (by
// the caller) and given back before the lock.
template <typename Lock>
class LockedPorts final : public OpenedBackend {
  public:
    explicit LockedPorts(std::unique_ptr<PortIo> io) : io_(std::move(io)) {}
    PortIo& io() override { return *io_; }

  private:
    Lock lock_;
    std::unique_ptr<PortIo> io_;
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
