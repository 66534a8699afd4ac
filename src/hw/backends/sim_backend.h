// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <utility>

#include "hw/backend.h"
#include "hw/backends/fault_injection_io.h"
#include "hw/backends/sim_card.h"
#include "hw/backends/stop_point_io.h"

namespace ruvuvuri::hw {

// The simulated card as a backend: the device model, under the simulated
// platform's bracket and stop points, under the misbehaviour its state asks
// for. The program talks to io(); the profile is saved from state().
class SimBackend final : public OpenedBackend {
  public:
    explicit SimBackend(CardState state)
        : model_(std::move(state)),
          stop_points_(model_),
          faults_(stop_points_, model_.state().inject) {}
    SimBackend(const SimBackend&) = delete;
    SimBackend& operator=(const SimBackend&) = delete;

    PortIo& io() override { return faults_; }
    SimCard& model() { return model_; }
    CardState& state() { return model_.state(); }
    StopPointIo& stop_points() { return stop_points_; }

  private:
    SimCard model_;
    StopPointIo stop_points_;
    FaultInjectionIo faults_;
};

}  // namespace ruvuvuri::hw
