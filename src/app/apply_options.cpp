#include "app/apply_options.h"

#include "app/clock_units.h"

namespace ruvuvuri::app {

int ApplyClockOptions(const ClockOptions& options, clock::ClockEngine& engine) {
    int applied = 0;
    if (options.memory_mhz != 0.0 || options.core_mhz != 0.0) {
        // A clock that was not given is reprogrammed for what it runs at now;
        // it passes through MHz on the way, as the panel's values do.
        const clock::ClockReading& now = engine.current();
        const double memory_mhz = options.memory_mhz != 0.0 ? options.memory_mhz : now.memclk_d;
        const double core_mhz = options.core_mhz != 0.0 ? options.core_mhz : now.nvclk_d;
        engine.ChangeSpeed(MhzToKhz(memory_mhz), MhzToKhz(core_mhz));
        ++applied;
    }
    for (std::size_t i = 0; i < clock::kTimingRegisters.size(); ++i) {
        if (options.timing[i] != NOT_GIVEN_TIMING) {
            engine.SetTiming(i, options.timing[i]);
            ++applied;
        }
    }
    return applied;
}

}  // namespace ruvuvuri::app
