// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated card on a bus that answers all ones, as QEMU's standard VGA
// does on the register window, run through the program's own card stage:
//   vm_reference ROM_FILE TRACE_FILE [OPTION]...
// writes the trace of what the program does with that card and those options,
// the reference the real-kernel test compares the guest's access order with.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/options.h"
#include "app/startup.h"
#include "hw/backends/trace.h"
#include "support/faulty_bus.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s ROM_FILE TRACE_FILE [OPTION]...\n", argv[0]);
        return 2;
    }
    std::ifstream rom(argv[1], std::ios::binary);
    ruvuvuri::hw::CardState state;
    state.bios.assign(std::istreambuf_iterator<char>(rom), {});
    ruvuvuri::hw::SimCard card(std::move(state));
    ruvuvuri::test::FaultyBus bus(card);
    bus.reads_all_ones = true;
    ruvuvuri::hw::TraceFile file(argv[2]);
    ruvuvuri::hw::TraceIo trace(bus, file.stream());
    ruvuvuri::card::BiosImage bios;
    trace.ReadFromPhysicalMemory(ruvuvuri::card::kBiosAddress, bios.image());
    // argv[2] stands where the program's name would: options start at argv[3].
    ruvuvuri::app::RunOnCard(bios, trace, ruvuvuri::app::ParseCommandLine(argc - 2, argv + 2));
    return 0;
}
