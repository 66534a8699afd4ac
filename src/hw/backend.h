// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "hw/port_io.h"

namespace ruvuvuri::hw {

// One backend opened for a run: the port I/O, the physical-memory read and the
// interrupt bracket the run works through (all three behind io()), and
// whatever the backend holds until the run ends.
class OpenedBackend {
  public:
    virtual ~OpenedBackend() = default;

    virtual PortIo& io() = 0;

    // Once the run's hardware work is done: writes back the state that outlives
    // the process (a simulated card kept in a profile). Throws PlatformError.
    virtual void Save() {}
};

// The real card: its port I/O, held with the platform's hardware lock so that
// one run at a time drives the card (two interleaved register window sequences
// would corrupt each other's accesses). The ports are opened first (by the
// caller, for the constructor's argument) and given back before the lock.
template <typename Lock>
class LockedPorts final : public OpenedBackend {
  public:
    explicit LockedPorts(std::unique_ptr<PortIo> io) : io_(std::move(io)) {}
    PortIo& io() override { return *io_; }

  private:
    Lock lock_;
    std::unique_ptr<PortIo> io_;
};

// One access method, the way libpci lists its methods: a run picks a record
// and opens it. A new platform adds a record (and its own files); nothing that
// opens or uses a backend changes.
struct BackendRecord {
    const char* name;
    const char* help;  // one line
    // Whether the backend can run on this machine at all.
    bool (*detect)();
    // Opened before the run gives up root: takes only what needs root and
    // opens no path a user named. Otherwise opened after, with the user's
    // rights.
    bool needs_root;
    // `profile` names the file of a simulated card kept in a profile. Throws
    // PlatformError (or ProfileError) naming the cause and the remedy.
    std::unique_ptr<OpenedBackend> (*open)(const std::string& profile);
};

}  // namespace ruvuvuri::hw
