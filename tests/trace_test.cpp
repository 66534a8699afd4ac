// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/trace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "clock/clock_engine.h"
#include "hw/backends/sim_card.h"
#include "hw/platform_error.h"
#include "hw/register_window.h"
#include "support/expected_trace.h"
#include "support/profiles.h"
#include "support/run_program.h"

namespace ruvuvuri::hw {
namespace {

// Answers reads with fixed values and remembers what was written, so the test
// can see that values pass through the decorator unchanged in both directions.
class FixedPortIo final : public PortIo {
  public:
    std::uint8_t inb(std::uint16_t /*port*/) override { return 0x67; }
    void outb(std::uint16_t port, std::uint8_t value) override { writes.push_back({port, value}); }
    std::uint16_t inw(std::uint16_t /*port*/) override { return 0x0538; }
    void outw(std::uint16_t port, std::uint16_t value) override { writes.push_back({port, value}); }
    void ReadFromPhysicalMemory(std::uint32_t /*address*/, std::span<std::uint8_t> dest) override {
        for (std::size_t i = 0; i < dest.size(); ++i) {
            dest[i] = static_cast<std::uint8_t>(0xA0 + i);
        }
    }
    void DisableInterrupts() override { ++disables; }
    void EnableInterrupts() override { ++enables; }

    struct Write {
        std::uint16_t port;
        std::uint16_t value;
    };
    std::vector<Write> writes;
    int disables = 0;
    int enables = 0;
};

// A string buffer that counts flushes.
class CountingBuf final : public std::stringbuf {
  public:
    int syncs = 0;

  protected:
    int sync() override {
        ++syncs;
        return std::stringbuf::sync();
    }
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(TraceIo, ConstructionWritesTheHeaderLine) {
    FixedPortIo inner;
    std::ostringstream out;
    TraceIo trace(inner, out);
    EXPECT_EQ(out.str(), "# ruvuvuri trace 1\n");
}

TEST(TraceIo, EachEventKindHasItsExactLine) {
    FixedPortIo inner;
    std::ostringstream out;
    {
        TraceIo trace(inner, out);
        trace.inb(0x3cc);
        trace.outb(0x3d4, 0x38);
        trace.inw(0x3d4);
        trace.outw(0x3d4, 0x0338);
        std::array<std::uint8_t, 16> small{};
        trace.ReadFromPhysicalMemory(0xc0000, small);
        std::vector<std::uint8_t> image(8192);
        trace.ReadFromPhysicalMemory(0xc0000, image);
        trace.DisableInterrupts();
        trace.EnableInterrupts();
        // Narrow values keep their leading zeros; low ports get three digits.
        trace.outb(0x80, 0x05);
        trace.outw(0x3d0, 0x0001);
        trace.ReadFromPhysicalMemory(0x0, std::span<std::uint8_t>());
    }
    const std::vector<std::string> expected = {
        "# ruvuvuri trace 1", "inb 0x3cc 0x67",    "outb 0x3d4 0x38",
        "inw 0x3d4 0x0538",   "outw 0x3d4 0x0338", "mem 0xc0000 16",
        "mem 0xc0000 8192",   "irq off",           "irq on",
        "outb 0x080 0x05",    "outw 0x3d0 0x0001", "mem 0x0 0",
    };
    EXPECT_EQ(Lines(out.str()), expected);
    EXPECT_EQ(out.str().back(), '\n');
}

TEST(TraceIo, ValuesPassThroughUnchangedBothWays) {
    FixedPortIo inner;
    std::ostringstream out;
    TraceIo trace(inner, out);

    EXPECT_EQ(trace.inb(0x3cc), 0x67);
    EXPECT_EQ(trace.inw(0x3d4), 0x0538);
    trace.outb(0x3d5, 0xff);
    trace.outw(0x3d2, 0xbeef);
    ASSERT_EQ(inner.writes.size(), 2u);
    EXPECT_EQ(inner.writes[0].port, 0x3d5);
    EXPECT_EQ(inner.writes[0].value, 0xff);
    EXPECT_EQ(inner.writes[1].port, 0x3d2);
    EXPECT_EQ(inner.writes[1].value, 0xbeef);

    std::array<std::uint8_t, 4> bytes{};
    trace.ReadFromPhysicalMemory(0xc0000, bytes);
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 4>{0xa0, 0xa1, 0xa2, 0xa3}));

    trace.DisableInterrupts();
    trace.EnableInterrupts();
    EXPECT_EQ(inner.disables, 1);
    EXPECT_EQ(inner.enables, 1);
}

TEST(TraceIo, FlushesAroundTheBracketAndOnDestructionButNotInside) {
    FixedPortIo inner;
    CountingBuf buf;
    std::ostream out(&buf);
    {
        TraceIo trace(inner, out);
        trace.inb(0x3cc);
        trace.DisableInterrupts();
        EXPECT_EQ(buf.syncs, 1) << "what came before the bracket goes out as it opens";
        trace.outb(0x3d4, 0x1f);
        trace.outw(0x3d0, 0x0001);
        EXPECT_EQ(buf.syncs, 1) << "no flush (write system call) inside the bracket";
        trace.EnableInterrupts();
        EXPECT_EQ(buf.syncs, 2);
        EXPECT_NE(buf.str().find("irq on\n"), std::string::npos);
        trace.outb(0x3d4, 0x00);
    }
    EXPECT_EQ(buf.syncs, 3);
}

// The program's own trace file and buffer: whatever earlier accesses left in
// it (a long panel session), the file does not grow while the bracket is open.
class WatchedCard final : public PortIo {
  public:
    WatchedCard(PortIo& card, std::string path) : card_(card), path_(std::move(path)) {}
    std::uint8_t inb(std::uint16_t port) override { return Watch().inb(port); }
    void outb(std::uint16_t port, std::uint8_t value) override { Watch().outb(port, value); }
    std::uint16_t inw(std::uint16_t port) override { return Watch().inw(port); }
    void outw(std::uint16_t port, std::uint16_t value) override { Watch().outw(port, value); }
    void ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) override {
        card_.ReadFromPhysicalMemory(address, dest);
    }
    void DisableInterrupts() override {
        size_at_open_ = Size();
        card_.DisableInterrupts();
    }
    void EnableInterrupts() override {
        Watch();
        card_.EnableInterrupts();
        size_at_open_ = -1;
    }
    int writes_inside = 0;

  private:
    long Size() const {
        struct stat info {};
        return ::stat(path_.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -2;
    }
    PortIo& Watch() {
        if (size_at_open_ >= 0 && Size() != size_at_open_) {
            ++writes_inside;
            size_at_open_ = Size();
        }
        return card_;
    }
    PortIo& card_;
    std::string path_;
    long size_at_open_ = -1;
};

TEST(TraceFile, NoWriteLandsInsideTheBracketWhateverTheBufferHolds) {
    test::TempDir dir;
    const std::string path = (dir / "run.trace").string();
    SimCard card(test::StateFor({.registers = {{0x101000, 0x40}}}));
    WatchedCard watched(card, path);
    TraceFile file(path);
    TraceIo trace(watched, file.stream());
    RegisterWindow window(trace);
    clock::ClockEngine engine(window);
    engine.EnableClockChanges();
    // Some 200 register reads (Preview presses) fill most of the 64 KiB
    // buffer; each round leaves it a little fuller before its bracket.
    for (int reads = 190; reads < 230; ++reads) {
        for (int i = 0; i < reads; ++i) {
            window.IN_LONGWORD(0x68050C);
        }
        ASSERT_TRUE(engine.ChangeSpeed(183000, 200000));
    }
    file.CheckWritten();
    EXPECT_EQ(watched.writes_inside, 0);
}

// --- The trace file --------------------------------------------------------

// A write error is kept, not thrown mid-sequence, and reported once asked; a
// reader that went away is such an error too, and no SIGPIPE ends the test.
TEST(TraceFile, WriteErrorsAreReportedWhenChecked) {
    int pipe_ends[2];
    ASSERT_EQ(::pipe(pipe_ends), 0);
    struct Case {
        std::string path;
        int reader;  // closed once the file is open
        const char* error;
    } cases[] = {{"/dev/full", -1, "No space left on device"},
                 {"/dev/fd/" + std::to_string(pipe_ends[1]), pipe_ends[0], "Broken pipe"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        TraceFile file(c.path);
        if (c.reader >= 0) {
            ::close(c.reader);
        }
        file.stream() << std::string(100000, 'x') << std::flush;
        file.stream() << "irq on\n";
        try {
            file.CheckWritten();
            ADD_FAILURE() << "no error reported";
        } catch (const PlatformError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(c.path), std::string::npos) << message;
            EXPECT_NE(message.find(c.error), std::string::npos) << message;
        }
    }
    ::close(pipe_ends[1]);
}

// End to end: a run whose trace cannot be written still completes its hardware
// work and saves the card, then ends with 255 and one line saying why; a FIFO
// that nobody reads is refused at once instead of hanging the run.
TEST(TraceFile, UnwritableTraceEndsTheRunWith255AndAMessage) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    struct Case {
        std::string trace;
        const char* message;
        std::uint32_t core_after;
    } cases[] = {
        {"/dev/full", "(No space left on device); the trace of this run is incomplete", 0x6207},
        {(dir / "fifo").string(), "that no program is reading", 0x5a0b}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.trace);
        test::ProfileCard card;
        card.registers[0x680500] = 0x5a0b;
        const auto profile = test::WriteProfile(dir.path(), card);
        const auto result =
            test::RunRuvuvuri({"--sim=" + profile.string(), "--trace=" + c.trace, "c=200"});
        EXPECT_EQ(result.exit_code, 255);
        EXPECT_NE(result.err.find("ruvuvuri: cannot write the trace file \"" + c.trace + "\""),
                  std::string::npos)
            << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(test::SavedRegister(profile, 0x680500), c.core_after);
    }
}

}  // namespace
}  // namespace ruvuvuri::hw
