#include "app/apply_options.h"

#include "app/clock_units.h"

namespace ruvuvuri::app {

int ApplyClockOptions(const ClockOptions& options, clock::ClockEngine& engine,
                      hw::RegisterWindow& window) {
    int applied = 0;
    if (options.memory_mhz != 0.0 || options.core_mhz != 0.0) {
        // A clock that was not given is reprogrammed for what it runs at now;
        // it passes through MHz on the way, as the panel's values do.
        const double memory_mhz = options.memory_mhz != 0.0 ? options.memory_mhz : engine.memclk_d;
        const double core_mhz = options.core_mhz != 0.0 ? options.core_mhz : engine.nvclk_d;
        engine.ChangeSpeed(MhzToKhz(memory_mhz), MhzToKhz(core_mhz));
        ++applied;
    }
    static constexpr std::uint32_t kTimingRegisters[3] = {
        clock::kTiming0Register, clock::kTiming1Register, clock::kTiming2Register};
    for (int i = 0; i < 3; ++i) {
        if (options.timing[i] != NOT_GIVEN_TIMING) {
            window.OUT_LONGWORD(kTimingRegisters[i], options.timing[i]);
            ++applied;
        }
    }
    return applied;
}

}  // namespace ruvuvuri::app
