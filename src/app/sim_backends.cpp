// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/sim_backends.h"

#include <optional>
#include <utility>

#include "app/builtin_card.h"
#include "app/host.h"
#include "app/profile_seed.h"
#include "app/stop_signals.h"
#include "hw/backends/card_profile.h"
#include "hw/backends/sim_backend.h"

namespace ruvuvuri::app {
namespace {

constexpr auto Anywhere = [] { return true; };

std::unique_ptr<hw::OpenedBackend> OpenBuiltInSim(const hw::BackendRequest&) {
    return std::make_unique<hw::SimBackend>(BuiltinGeForce2Gts());
}

class ProfileSim final : public hw::OpenedBackend {
  public:
    explicit ProfileSim(const hw::BackendRequest& request)
        : before_signal_end_(request.before_signal_end) {
        profile_.emplace(request.profile_path);
        sim_.emplace(profile_->loaded());
        // From here on a stop signal saves the card before the run ends.
        stop_signals_.emplace(sim_->stop_points().bracket_open_flag());
        sim_->stop_points().set_stop_point(stop_signals_->pending_flag(),
                                           [this] { StopBySignal(); });
    }
    // The card goes before the handlers: nothing can stop at its stop points
    // once the handlers are gone.
    ~ProfileSim() override {
        sim_.reset();
        stop_signals_.reset();
    }

    hw::PortIo& io() override { return sim_->io(); }

    // Records a fault when a stop signal took effect inside the interrupt bracket.
    void SaveCard() override {
        if (stop_signals_->took_effect_in_bracket()) {
            sim_->state().faults.push_back(stop_signals_->BracketFaultText());
        }
        profile_->Save(sim_->state());
    }
    void EndByPendingSignal() override { stop_signals_->EndByPendingSignal(); }

  private:
    // The card's stop hook: a stop signal arrived. Saves the card as it is and
    // ends the process by the signal.
    void StopBySignal() {
        if (before_signal_end_) {
            before_signal_end_();
        }
        try {
            SaveCard();
        } catch (const hw::PlatformError&) {
            // The folder was writable when the run began; should it no longer
            // be, the profile keeps the state it had, whole, and the signal
            // still ends the run.
        }
        stop_signals_->EndByPendingSignal();
    }

    std::function<void()> before_signal_end_;
    std::optional<hw::ProfileSession> profile_;
    std::optional<StopSignals> stop_signals_;
    std::optional<hw::SimBackend> sim_;
};

std::unique_ptr<hw::OpenedBackend> OpenProfileSim(const hw::BackendRequest& request) {
    if (const auto seeded = SeedProfileIfMissing(request.profile_path)) {
        host::Warn(SeededProfileNotice(*seeded));
    }
    return std::make_unique<ProfileSim>(request);
}

}  // namespace

const hw::BackendRecord kBuiltInSimBackend = {
    "sim",          "the built-in simulated GeForce2 GTS, kept only for the run", Anywhere, false,
    OpenBuiltInSim,
};

const hw::BackendRecord kProfileSimBackend = {
    "sim-profile",  "a simulated card kept in a profile file, saved at the end of the run",
    Anywhere,       false,
    OpenProfileSim,
};

}  // namespace ruvuvuri::app
