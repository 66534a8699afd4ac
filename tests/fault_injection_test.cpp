// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated card misbehaving the way real buses do (the profile's "inject"
// object): a card that reads all ones, registers that ignore writes, slow
// accesses. The program has to survive each without hanging, dividing by zero
// or sending a garbled PLL word.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "card/bios_builder.h"
#include "clock/clock_engine.h"
#include "hw/backends/card_profile.h"
#include "hw/backends/fault_injection_io.h"
#include "hw/backends/sim_backend.h"
#include "hw/backends/stop_point_io.h"
#include "hw/backends/trace.h"
#include "hw/register_window.h"
#include "support/expected_trace.h"
#include "support/profiles.h"
#include "support/run_program.h"

namespace ruvuvuri::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr std::uint32_t kCore = 0x680500, kMem = 0x680504, kSelect = 0x68050c;
constexpr std::uint32_t kAllOnes = 0xFFFFFFFF;
// What the coefficient search gives on the 14318 kHz crystal.
constexpr std::uint32_t k150Mhz = 0x880d, k183Mhz = 0x7309;  // 150.000 and 182.952 MHz

// --- The profile's "inject" object ------------------------------------------

hw::CardState Parse(const std::string& text) {
    return hw::ParseProfile(text, ".", "card.json");
}

TEST(InjectProfile, ParsesAndSavesBackWhatWasAsked) {
    const hw::CardState state = Parse(
        R"({"inject": {"reads_all_ones": true, "ignore_writes": ["0x680500", 6817028],
                       "access_delay_us": "200", "bracket_ignores_signals": true}})");
    EXPECT_TRUE(state.inject.reads_all_ones);
    EXPECT_EQ(state.inject.ignore_writes, (std::vector<std::uint32_t>{kCore, kMem}));
    EXPECT_EQ(state.inject.access_delay_us, 200u);
    EXPECT_TRUE(state.inject.bracket_ignores_signals);

    const hw::CardState again = Parse(hw::FormatProfile(state));
    EXPECT_TRUE(again.inject.reads_all_ones);
    EXPECT_EQ(again.inject.ignore_writes, state.inject.ignore_writes);
    EXPECT_EQ(again.inject.access_delay_us, 200u);
    EXPECT_TRUE(again.inject.bracket_ignores_signals);

    // Without the object the saved profile has none; an empty one stays.
    EXPECT_THAT(hw::FormatProfile(Parse("{}")), Not(HasSubstr("inject")));
    EXPECT_THAT(hw::FormatProfile(Parse(R"({"inject": {}})")), HasSubstr("\"inject\": {}"));
}

TEST(InjectProfile, RefusesWhatItCannotUseAndSaysWhy) {
    struct Case {
        const char* inject;
        std::vector<const char*> message;
    } cases[] = {
        {R"([1])", {"\"inject\"", "expected an object"}},
        {R"({"reads_all_ones": 1})", {"inject.reads_all_ones", "true or false"}},
        {R"({"bracket_ignores_signals": "yes"})", {"inject.bracket_ignores_signals"}},
        {R"({"ignore_writes": "0x680500"})", {"inject.ignore_writes", "expected an array"}},
        {R"({"ignore_writes": [true]})", {"inject.ignore_writes[0]", "expected a number"}},
        {R"({"ignore_writes": ["0x680502"]})", {"inject.ignore_writes[0]", "multiples of 4"}},
        {R"({"ignore_writes": ["0x680500", 6817024]})", {"ignore_writes[1]", "second time"}},
        {R"({"ignore_writes": ["0x100000000"]})", {"ignore_writes[0]", "out of range"}},
        {R"({"access_delay_us": -5})", {"inject.access_delay_us", "negative"}},
        {R"({"access_delay_us": 1000001})", {"inject.access_delay_us", "out of range"}},
        {R"({"reads_all_one": true})",
         {"inject.reads_all_one", "did you mean \"reads_all_ones\"", "fields of inject are"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inject);
        try {
            Parse(std::string(R"({"inject": )") + c.inject + "}");
            ADD_FAILURE() << "accepted";
        } catch (const hw::ProfileError& error) {
            EXPECT_THAT(error.what(), HasSubstr("card.json"));
            for (const char* part : c.message) {
                EXPECT_THAT(error.what(), HasSubstr(part));
            }
        }
    }
    // The top-level suggestion list knows the new field.
    try {
        Parse(R"({"injcet": {}})");
        ADD_FAILURE() << "accepted";
    } catch (const hw::ProfileError& error) {
        EXPECT_THAT(error.what(), HasSubstr("did you mean \"inject\""));
    }
}

// --- In process: the card, the register window and the clock engine ---------

struct Bench {
    explicit Bench(hw::CardState state)
        : card(std::move(state)), window(card.io()), engine(window) {
        engine.EnableClockChanges();
    }
    hw::SimBackend card;
    hw::RegisterWindow window;
    clock::ClockEngine engine;
};

hw::CardState Card(std::uint32_t core, std::uint32_t mem) {
    hw::CardState state;
    state.registers = {{0x101000, 0x40}, {kCore, core}, {kMem, mem}, {kSelect, 0}};
    state.bios = {0x55, 0xAA};
    return state;
}

std::string Faults(const hw::CardState& state) {
    std::string text;
    for (const auto& fault : state.faults) {
        text += fault + "\n";
    }
    return text;
}

TEST(InjectedFaults, AllOnesReadsLeaveTheBiosAndEveryWriteAlone) {
    hw::CardState state = Card(0x6207, 0x740a);
    state.inject.reads_all_ones = true;
    Bench bench(std::move(state));
    bench.card.io().outw(0x3d4, 0x571f);  // unlock the extended registers, for the window
    EXPECT_EQ(bench.card.io().inb(0x3cc), 0xFF);
    EXPECT_EQ(bench.card.io().inw(0x3d4), 0xFFFF);
    EXPECT_EQ(bench.window.IN_LONGWORD(kCore), kAllOnes);
    std::uint8_t bios[2] = {};
    bench.card.io().ReadFromPhysicalMemory(0xC0000, bios);
    EXPECT_EQ(bios[0], 0x55);
    EXPECT_EQ(bios[1], 0xAA);

    bench.window.OUT_LONGWORD(0x100220, 0x12345678);
    EXPECT_EQ(bench.card.state().registers.at(0x100220), 0x12345678u);
}

// Words whose M (or N) decode as zero, read back from the PLLs: the readout
// must not divide by zero and a new clock still goes in.
TEST(InjectedFaults, UndecodablePllWordsReadAsZeroAndCanBeReprogrammed) {
    struct Case {
        std::uint32_t word;
        std::uint32_t khz;  // what the readout makes of it on 14318 kHz
    } cases[] = {{0x00000000, 0}, {0x0000ff00, 0}, {0x000f0000, 0}, {0x000000ff, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        Bench bench(Card(c.word, c.word));
        const clock::ClockReading reading = bench.engine.GetCurrentClocks();
        EXPECT_EQ(reading.nvclk, c.khz);
        EXPECT_EQ(reading.memclk, c.khz);
        bench.engine.ChangeSpeed(183000, 150000);
        EXPECT_EQ(bench.card.state().registers.at(kCore), k150Mhz);
        EXPECT_EQ(bench.card.state().registers.at(kMem), k183Mhz);
        EXPECT_THAT(bench.card.state().faults, IsEmpty()) << Faults(bench.card.state());
    }
}

TEST(InjectedFaults, AnIgnoredPllKeepsItsWordAndTheOtherOneChanges) {
    hw::CardState state = Card(0x6207, 0x740a);
    state.inject.ignore_writes = {kCore};
    Bench bench(std::move(state));
    bench.engine.ChangeSpeed(183000, 150000);
    const clock::ClockReading reading = bench.engine.GetCurrentClocks();
    EXPECT_EQ(bench.card.state().registers.at(kCore), 0x6207u);
    EXPECT_EQ(bench.card.state().registers.at(kMem), k183Mhz);
    EXPECT_EQ(reading.nvclk, 200452u);
    EXPECT_EQ(reading.memclk, 182952u);
    EXPECT_THAT(bench.card.state().faults, IsEmpty()) << Faults(bench.card.state());
}

// A stop signal that arrives while an access waits out the profile's delay
// stops the run before that access reaches the card, whatever the kind of
// access: that is what lets a signal land inside a hardware sequence.
TEST(InjectedFaults, AStopDuringAnAccessDelayComesBeforeTheAccess) {
    const hw::FaultInjection slow = Parse(R"({"inject": {"access_delay_us": 3000}})").inject;
    const std::function<void(hw::PortIo&)> accesses[] = {
        [](hw::PortIo& io) { io.inb(0x3cc); },
        [](hw::PortIo& io) { io.outb(0x3d4, 0x38); },
        [](hw::PortIo& io) { io.inw(0x3d4); },
        [](hw::PortIo& io) { io.outw(0x3d4, 0x0338); },
    };
    for (const auto& access : accesses) {
        std::ostringstream reached;  // what reached the card, in trace lines
        hw::SimCard card;
        hw::TraceIo trace(card, reached);
        hw::StopPointIo stops(trace);
        volatile std::sig_atomic_t pending = 0;
        std::vector<std::chrono::microseconds> waits;
        hw::FaultInjectionIo io(stops, slow, [&](std::chrono::microseconds delay) {
            waits.push_back(delay);
            pending = 1;  // the signal arrives while the access waits
        });
        const std::string before = reached.str();
        std::string at_stop = "no stop";
        stops.set_stop_point(&pending, [&] {
            at_stop = reached.str();
            pending = 0;
        });

        access(io);

        EXPECT_EQ(waits, std::vector<std::chrono::microseconds>{std::chrono::microseconds(3000)});
        EXPECT_EQ(at_stop, before);
        EXPECT_NE(reached.str(), before);  // the stop hook returned: the access went on
    }
}

// --- End to end --------------------------------------------------------------

// The card register writes in a trace, told apart from the hardware's point
// of view: CR38 mode 0x03 takes the address on 0x3d2 (high) / 0x3d0 (low),
// mode 0x07 latches the low word on 0x3d0 and commits {high, latch} on 0x3d2.
struct RegisterWrite {
    std::uint32_t address;
    std::uint32_t value;
};

std::vector<RegisterWrite> RegisterWrites(const std::vector<std::string>& lines) {
    std::vector<RegisterWrite> writes;
    unsigned index = 0, cr38 = 0, latch = 0;
    std::uint32_t address = 0;
    for (const std::string& line : lines) {
        char op[8] = {};
        unsigned port = 0, value = 0;
        if (std::sscanf(line.c_str(), "%7s %x %x", op, &port, &value) != 3) {
            continue;
        }
        const std::string kind = op;
        if (port == 0x3d4 && kind == "outb") {
            index = value;
        } else if (port == 0x3d4 && kind == "outw") {
            index = value & 0xFF;
            if (index == 0x38) {
                cr38 = value >> 8;
            }
        } else if (port == 0x3d5 && kind == "outb" && index == 0x38) {
            cr38 = value;
        } else if (kind == "outw" && (port == 0x3d0 || port == 0x3d2)) {
            const bool high = port == 0x3d2;
            if (cr38 == 0x03) {
                address = high ? (address & 0xFFFF) | (value << 16) : (address & ~0xFFFFu) | value;
            } else if (cr38 == 0x07 && !high) {
                latch = value;
            } else if (cr38 == 0x07) {
                writes.push_back({address & ~3u, (value << 16) | latch});
            }
        }
    }
    return writes;
}

// A card that does not answer (every read all ones) is read, and never
// written: the command line ends with 255 and says why, the panel refuses.
TEST(InjectedFaultsEndToEnd, ACardReadingAllOnesIsNeverWritten) {
    const std::vector<std::string> runs[] = {{"m=183"}, {"c=150", "t0=1"}, {"t0=1"}};
    for (const auto& options : runs) {
        SCOPED_TRACE(options.front());
        TempDir dir;
        ProfileCard card;
        card.inject = R"({"reads_all_ones": true})";
        const auto profile = WriteProfile(dir.path(), card);
        const auto trace = dir / "run.trace";
        std::vector<std::string> args = {"--sim=" + profile.string(), "--trace=" + trace.string()};
        args.insert(args.end(), options.begin(), options.end());

        const ProgramResult run = RunRuvuvuri(args);

        EXPECT_EQ(run.exit_code, 255);
        EXPECT_THAT(run.err, HasSubstr("does not answer through its register window"));
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_THAT(RegisterWrites(SplitLines(ReadFile(trace))), IsEmpty());
        EXPECT_THAT(ReadFile(trace), Not(HasSubstr("irq off")));
    }
    TempDir dir;
    ProfileCard card;
    card.inject = R"({"reads_all_ones": true})";
    const auto profile = WriteProfile(dir.path(), card);
    const ProgramResult panel =
        RunRuvuvuri({"--sim=" + profile.string(), "--ui=console"}, "core 150\napply\ny\n");
    EXPECT_THAT(panel.err, HasSubstr("Ruvuvuri: The card does not answer"));
    EXPECT_EQ(SavedRegister(profile, kCore), 0x6207u);
}

TEST(InjectedFaultsEndToEnd, PllsReadingZeroDoNotStopTheProgram) {
    for (const char* option : {"--info", "m=183", "c=150"}) {
        SCOPED_TRACE(option);
        TempDir dir;
        ProfileCard card;
        card.registers[kCore] = 0;
        card.registers[kMem] = 0x0000ff00;  // N without M
        const auto profile = WriteProfile(dir.path(), card);

        const ProgramResult run = RunRuvuvuri({"--sim=" + profile.string(), option});

        EXPECT_EQ(run.exit_code, 0) << run.err;
        if (std::string(option) == "--info") {
            EXPECT_THAT(run.out, HasSubstr("0.000 MHz"));
        }
    }
}

// A core PLL that ignores writes: the memory clock and the timings still change,
// and what the program then shows is the card's old core clock.
TEST(InjectedFaultsEndToEnd, AnIgnoredPllShowsItsOldClock) {
    TempDir dir;
    ProfileCard card;
    card.inject = R"({"ignore_writes": ["0x680500"]})";
    const auto profile = WriteProfile(dir.path(), card);

    const ProgramResult set = RunRuvuvuri({"--sim=" + profile.string(), "c=150", "m=183", "t0=1"});
    EXPECT_EQ(set.exit_code, 0) << set.err;
    EXPECT_EQ(SavedRegister(profile, kCore), 0x6207u);
    EXPECT_EQ(SavedRegister(profile, kMem), k183Mhz);
    EXPECT_EQ(SavedRegister(profile, 0x100220), 1u);

    const ProgramResult info = RunRuvuvuri({"--sim=" + profile.string(), "--info"});
    EXPECT_EQ(info.exit_code, 0) << info.err;
    EXPECT_THAT(info.out, HasSubstr("200.452 MHz"));
    EXPECT_THAT(info.out, HasSubstr("182.952 MHz"));

    // The panel, after an apply, shows what the card reads back.
    const ProgramResult panel =
        RunRuvuvuri({"--sim=" + profile.string(), "--ui=console"}, "core 150\napply\ny\nshow\n");
    EXPECT_EQ(panel.exit_code, 0) << panel.err;
    const std::string last = panel.out.substr(panel.out.rfind("Core clock"));
    EXPECT_THAT(last.substr(0, last.find('\n')), HasSubstr("200.45"));
    const hw::CardState saved = hw::ParseProfile(ReadFile(profile), dir.path(), "saved");
    EXPECT_THAT(saved.faults, IsEmpty()) << Faults(saved);
    EXPECT_EQ(saved.inject.ignore_writes, std::vector<std::uint32_t>{kCore});
}

}  // namespace
}  // namespace ruvuvuri::test
