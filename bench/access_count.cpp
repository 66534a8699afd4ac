// SPDX-License-Identifier: GPL-2.0-or-later
// Counts the port accesses each register operation makes, from the trace of a
// run on the built-in simulated card, against the number the window protocol
// needs. Prints one line per operation: "NAME MEASURED EXPECTED", then the
// expected total of a whole `--sim m=183` run ("cli_run_m183 - EXPECTED"),
// which the benchmark script measures from the program's own trace, and the
// number of protocol faults the simulated card recorded ("sim_faults N 0").

#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>

#include "app/sim_backends.h"
#include "clock/clock_engine.h"
#include "hw/backends/sim_card.h"
#include "hw/backends/trace.h"
#include "hw/register_window.h"

namespace {

using ruvuvuri::clock::ClockEngine;
using ruvuvuri::hw::RegisterWindow;

// What the protocol needs, access by access.
// Window open: select index 0x38, read it with CR38, read mode, save the low
// data word, address mode, save the window address (two words).
constexpr int kWindowOpen = 7;
// One transfer: the address (two words), the mode word, the data (two words).
constexpr int kTransfer = 5;
// Window close: address mode, restore the address (two words), write mode,
// restore the low data word, restore index and CR38.
constexpr int kWindowClose = 6;
constexpr int kRegisterAccess = kWindowOpen + kTransfer + kWindowClose;  // 18

// Save the CRT controller index and unlock (0x1F, 0x57); restore the index.
constexpr int kIndexSaveAndUnlock = 3;
constexpr int kIndexRestore = 1;
constexpr int kSetBaseport = 1;  // the miscellaneous output register
// Strap, memory PLL, core PLL inside a saved index; then three timings.
constexpr int kGetSpeed = kIndexSaveAndUnlock + 3 * kRegisterAccess + kIndexRestore;
constexpr int kGetCurrentClocks = kGetSpeed + 3 * kRegisterAccess;
// Strap; select read and write; two stages (read, write) for each PLL.
constexpr int kChangeSpeed =
    kIndexSaveAndUnlock + kRegisterAccess + 10 * kRegisterAccess + kIndexRestore;
// `--sim m=183`: SetBaseport, GetCurrentClocks, then one ChangeSpeed.
constexpr int kCliRunM183 = kSetBaseport + kGetCurrentClocks + kChangeSpeed;

// Port accesses in a stretch of trace: every line but comments, `mem` and `irq`.
int CountPortAccesses(std::string_view trace) {
    int count = 0;
    while (!trace.empty()) {
        const std::size_t end = trace.find('\n');
        const std::string_view line = trace.substr(0, end);
        if (!line.empty() && !line.starts_with('#') && !line.starts_with("mem ") &&
            !line.starts_with("irq ")) {
            ++count;
        }
        trace = end == std::string_view::npos ? std::string_view{} : trace.substr(end + 1);
    }
    return count;
}

// Reports how many accesses were traced since the previous report.
class Counter {
  public:
    explicit Counter(const std::ostringstream& trace) : trace_(trace) {}

    void Report(const char* name, int expected) {
        const std::string text = trace_.str();
        const int measured = CountPortAccesses(std::string_view(text).substr(seen_));
        seen_ = text.size();
        std::printf("%s %d %d\n", name, measured, expected);
    }

  private:
    const std::ostringstream& trace_;
    std::size_t seen_ = 0;
};

}  // namespace

int main() {
    ruvuvuri::hw::SimCard card(ruvuvuri::app::BuiltinGeForce2Gts());
    std::ostringstream trace;
    {
        ruvuvuri::hw::TraceIo traced(card, trace);
        Counter counter(trace);
        // Building the window chooses its CRT controller port.
        RegisterWindow window(traced);
        counter.Report("set_baseport", kSetBaseport);
        ClockEngine engine(window);
        engine.EnableClockChanges();
        // Also unlocks the extended registers, which the window needs.
        const ruvuvuri::clock::ClockReading reading = engine.GetCurrentClocks();
        counter.Report("get_current_clocks", kGetCurrentClocks);
        window.IN_LONGWORD(ruvuvuri::clock::kStrapRegister);
        counter.Report("register_read", kRegisterAccess);
        window.OUT_LONGWORD(ruvuvuri::clock::kTiming0Register, reading.tim0);
        counter.Report("register_write", kRegisterAccess);
        engine.ChangeSpeed(183000, reading.nvclk);
        counter.Report("change_speed", kChangeSpeed);
    }
    const int faults = static_cast<int>(card.state().faults.size());
    std::printf("cli_run_m183 - %d\n", kCliRunM183);
    std::printf("sim_faults %d 0\n", faults);
    for (const std::string& fault : card.state().faults) {
        std::fprintf(stderr, "access_count: simulated card fault: %s\n", fault.c_str());
    }
    return 0;
}
