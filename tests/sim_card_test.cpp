// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated card at byte-port level: every sequence here is written out by
// hand from the VGA and card constants, never through the register window.

#include "hw/backends/sim_card.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/sim_backends.h"

using ruvuvuri::hw::CardState;
using ruvuvuri::hw::SimCard;

namespace {

constexpr std::uint16_t kMiscRead = 0x3CC;
constexpr std::uint16_t kMiscWrite = 0x3C2;
constexpr std::uint16_t kColour = 0x3D4;
constexpr std::uint16_t kMono = 0x3B4;
constexpr std::uint16_t kWin0 = 0x3D0;  // low word
constexpr std::uint16_t kWin2 = 0x3D2;  // high word

constexpr std::uint8_t kCr1f = 0x1F;
constexpr std::uint8_t kCr38 = 0x38;
constexpr std::uint8_t kSignatureMode = 0x01;
constexpr std::uint8_t kAddressMode = 0x03;
constexpr std::uint8_t kDataMode = 0x05;
constexpr std::uint8_t kPartialMode = 0x07;
constexpr std::uint32_t kSignature = 0x2B16D065;

constexpr std::uint32_t kStraps = 0x101000;
constexpr std::uint32_t kCorePll = 0x680500;
constexpr std::uint32_t kMemPll = 0x680504;
constexpr std::uint32_t kSelect = 0x68050C;
constexpr std::uint32_t kTestCounter = 0x680514;
constexpr std::uint32_t kTiming0 = 0x100220;

void Unlock(SimCard& card, std::uint16_t index_port = kColour) {
    card.outb(index_port, kCr1f);
    card.outb(index_port + 1, 0x57);
}

void Mode(SimCard& card, std::uint8_t mode, std::uint16_t index_port = kColour) {
    card.outw(index_port, static_cast<std::uint16_t>(mode << 8 | kCr38));
}

void SetAddress(SimCard& card, std::uint32_t address) {
    Mode(card, kAddressMode);
    card.outw(kWin2, static_cast<std::uint16_t>(address >> 16));
    card.outw(kWin0, static_cast<std::uint16_t>(address));
}

// A register write through the data mode, byte by byte.
void WriteRegister(SimCard& card, std::uint32_t address, std::uint32_t value) {
    Unlock(card);
    SetAddress(card, address);
    Mode(card, kDataMode);
    for (unsigned byte = 0; byte < 4; ++byte) {
        card.outb(kWin0 + byte, static_cast<std::uint8_t>(value >> (8 * byte)));
    }
}

std::uint32_t ReadRegister(SimCard& card, std::uint32_t address) {
    Unlock(card);
    SetAddress(card, address);
    Mode(card, kDataMode);
    return card.inw(kWin0) | std::uint32_t{card.inw(kWin2)} << 16;
}

bool HasFault(const CardState& state, const std::string& text) {
    for (const auto& fault : state.faults) {
        if (fault.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::string FaultList(const CardState& state) {
    std::string all;
    for (const auto& fault : state.faults) {
        all += fault + "\n";
    }
    return all;
}

CardState Unlocked() {
    CardState state;
    state.extended_unlocked = true;
    state.crtc[kCr1f] = 0x03;
    return state;
}

// --- CRT controller ---------------------------------------------------------

struct PairCase {
    std::uint8_t misc;
    std::uint16_t answering;
    std::uint16_t silent;
};

void PrintTo(const PairCase& c, std::ostream* out) {
    *out << "misc " << std::hex << unsigned{c.misc};
}

class CrtcPair : public ::testing::TestWithParam<PairCase> {};

TEST_P(CrtcPair, AnswersOnlyAtThePairTheMiscOutputSelects) {
    const PairCase c = GetParam();
    CardState state;
    state.misc_output = c.misc;
    SimCard card(state);
    EXPECT_EQ(card.inb(kMiscRead), c.misc);

    card.outb(c.answering, 0x0C);
    card.outb(c.answering + 1, 0x5A);
    EXPECT_EQ(card.inb(c.answering), 0x0C);
    EXPECT_EQ(card.inb(c.answering + 1), 0x5A);
    // 16-bit read: index in the low byte, the selected register in the high byte.
    EXPECT_EQ(card.inw(c.answering), 0x5A0C);
    // 16-bit write: index from the low byte, data from the high byte.
    card.outw(c.answering, 0x330D);
    EXPECT_EQ(card.inb(c.answering), 0x0D);
    EXPECT_EQ(card.state().crtc.at(0x0D), 0x33);

    EXPECT_EQ(card.inb(c.silent), 0xFF);
    EXPECT_EQ(card.inb(c.silent + 1), 0xFF);
    EXPECT_EQ(card.inw(c.silent), 0xFFFF);
    card.outb(c.silent, 0x0C);
    card.outb(c.silent + 1, 0x99);
    card.outw(c.silent, 0x990C);
    EXPECT_EQ(card.state().crtc_index, 0x0D);
    EXPECT_EQ(card.state().crtc.at(0x0C), 0x5A);
    EXPECT_TRUE(card.state().faults.empty());
}

INSTANTIATE_TEST_SUITE_P(ColourAndMono, CrtcPair,
                         ::testing::Values(PairCase{0x67, kColour, kMono},
                                           PairCase{0x66, kMono, kColour}));

TEST(SimCard, MiscOutputWriteMovesTheCrtController) {
    SimCard card;
    card.outb(kMiscWrite, 0x66);
    EXPECT_EQ(card.inb(kMiscRead), 0x66);
    card.outb(kMono, 0x11);
    EXPECT_EQ(card.inb(kMono), 0x11);
    EXPECT_EQ(card.inb(kColour), 0xFF);
    // Ports nobody models float high and take nothing.
    EXPECT_EQ(card.inb(kMiscWrite), 0xFF);
    EXPECT_EQ(card.inb(0x3C8), 0xFF);
}

// A 16-bit access is exactly two byte accesses on every port, window included.
TEST(SimCard, WordAccessIsTwoByteAccessesOnEveryPort) {
    CardState state = Unlocked();
    state.crtc[kCr38] = kDataMode;
    state.window_address = kTiming0;
    state.registers[kTiming0] = 0x22322222;
    for (std::uint16_t port : {kMiscRead, kMiscWrite, kColour, kMono, kWin0, std::uint16_t{0x3D1},
                               kWin2, std::uint16_t{0x3D3}}) {
        SimCard words(state);
        SimCard bytes(state);
        EXPECT_EQ(words.inw(port), bytes.inb(port) | bytes.inb(port + 1) << 8) << port;
        words.outw(port, 0x7C38);
        bytes.outb(port, 0x38);
        bytes.outb(port + 1, 0x7C);
        EXPECT_EQ(words.state().crtc, bytes.state().crtc) << port;
        EXPECT_EQ(words.state().crtc_index, bytes.state().crtc_index) << port;
        EXPECT_EQ(words.state().misc_output, bytes.state().misc_output) << port;
        EXPECT_EQ(words.state().registers, bytes.state().registers) << port;
        EXPECT_EQ(words.state().faults, bytes.state().faults) << port;
    }
}

// --- CR1F lock --------------------------------------------------------------

struct LockCase {
    std::uint8_t written;
    std::uint8_t readback;
    bool readable;
    bool writable;
};

void PrintTo(const LockCase& c, std::ostream* out) {
    *out << "CR1F " << std::hex << unsigned{c.written};
}

class Lock : public ::testing::TestWithParam<LockCase> {};

TEST_P(Lock, Cr1fValueDecidesAccessToExtendedRegisters) {
    const LockCase c = GetParam();
    CardState state = Unlocked();
    state.crtc[kCr38] = 0x05;
    state.crtc[0x19] = 0x44;
    state.crtc[0x18] = 0x10;
    SimCard card(state);

    card.outb(kColour, kCr1f);
    card.outb(kColour + 1, c.written);
    EXPECT_EQ(card.inb(kColour + 1), c.readback);

    card.outb(kColour, kCr38);
    EXPECT_EQ(card.inb(kColour + 1), c.readable ? 0x05 : 0x00);
    card.outb(kColour + 1, 0x07);
    EXPECT_EQ(card.state().crtc.at(kCr38), c.writable ? 0x07 : 0x05);
    card.outw(kColour, 0x0919);  // the first extended register
    EXPECT_EQ(card.state().crtc.at(0x19), c.writable ? 0x09 : 0x44);
    // Below 0x19 nothing is locked.
    card.outw(kColour, 0x2018);
    EXPECT_EQ(card.inb(kColour + 1), 0x20);
}

INSTANTIATE_TEST_SUITE_P(Values, Lock,
                         ::testing::Values(LockCase{0x57, 0x03, true, true},
                                           LockCase{0x75, 0x01, true, false},
                                           LockCase{0x99, 0x00, false, false},
                                           LockCase{0x03, 0x00, false, false}));

TEST(SimCard, ExtendedRegistersAreLockedAfterReset) {
    CardState state;
    state.crtc[kCr38] = 0x05;
    SimCard card(state);
    card.outb(kColour, kCr1f);
    EXPECT_EQ(card.inb(kColour + 1), 0x00);
    Mode(card, 0x03);
    EXPECT_EQ(card.state().crtc.at(kCr38), 0x05);
    EXPECT_EQ(card.inw(kColour), 0x0038);  // reads 0 while locked
    Unlock(card);
    card.outb(kColour, kCr38);
    EXPECT_EQ(card.inb(kColour + 1), 0x05);
}

// --- The window -------------------------------------------------------------

TEST(Window, SignatureIsReadOnly) {
    CardState state = Unlocked();
    state.crtc[kCr38] = kSignatureMode;
    SimCard card(state);
    const std::uint8_t expected[4] = {0x65, 0xD0, 0x16, 0x2B};
    for (unsigned byte = 0; byte < 4; ++byte) {
        EXPECT_EQ(card.inb(kWin0 + byte), expected[byte]);
    }
    card.outw(kWin0, 0x1234);
    card.outw(kWin2, 0x5678);
    EXPECT_EQ(card.inw(kWin0) | std::uint32_t{card.inw(kWin2)} << 16, kSignature);
    EXPECT_EQ(card.state().window_address, 0u);
    EXPECT_TRUE(card.state().faults.empty()) << FaultList(card.state());
}

TEST(Window, AddressRegisterKeepsBits1To0Clear) {
    SimCard card(Unlocked());
    Mode(card, kAddressMode);
    card.outw(kWin2, 0x0068);
    card.outw(kWin0, 0x0507);
    EXPECT_EQ(card.inw(kWin0), 0x0504);
    EXPECT_EQ(card.inw(kWin2), 0x0068);
    EXPECT_EQ(card.state().window_address, kMemPll);
    card.outb(0x3D3, 0x80);
    EXPECT_EQ(card.state().window_address, 0x80680504u);
}

TEST(Window, DataModeReadsTheRegisterAfreshForEveryByte) {
    CardState state = Unlocked();
    state.crtc[kCr38] = kDataMode;
    state.window_address = kTiming0;
    state.registers[kTiming0] = 0x44332211;
    SimCard card(state);
    EXPECT_EQ(card.inb(kWin0), 0x11);
    card.state().registers[kTiming0] = 0x88776655;
    EXPECT_EQ(card.inb(0x3D1), 0x66);
    EXPECT_EQ(card.inw(kWin2), 0x8877);
    EXPECT_EQ(card.state().window_address, kTiming0);
}

TEST(Window, DataModeWritesTheRegisterOnByte3) {
    CardState state = Unlocked();
    state.crtc[kCr38] = kDataMode;
    state.window_address = kTiming0;
    state.registers[kTiming0] = 0x22322222;
    SimCard card(state);
    card.outw(kWin0, 0xBEEF);
    EXPECT_EQ(card.state().registers.at(kTiming0), 0x22322222u);
    card.outw(kWin2, 0xDEAD);
    EXPECT_EQ(card.state().registers.at(kTiming0), 0xDEADBEEFu);
    EXPECT_EQ(card.state().window_address, kTiming0);
}

TEST(Window, PartialDataLowWordOnlyLatches) {
    CardState state = Unlocked();
    state.crtc[kCr38] = kPartialMode;
    state.window_address = kTiming0;
    state.registers[kTiming0] = 0x22322222;
    SimCard card(state);
    card.outw(kWin0, 0x1234);
    EXPECT_EQ(card.state().window_latch, 0x1234);
    EXPECT_EQ(card.state().registers.at(kTiming0), 0x22322222u);
    EXPECT_EQ(card.inw(kWin0), 0x1234);
    EXPECT_EQ(card.inw(kWin2), 0x0000);  // the high word reads 0
    card.outw(kWin2, 0xABCD);
    EXPECT_EQ(card.state().registers.at(kTiming0), 0xABCD1234u);
    EXPECT_EQ(card.state().window_address, kTiming0);
}

TEST(Window, PartialDataHighWordFirstCommitsTheStaleLatch) {
    CardState state = Unlocked();
    state.crtc[kCr38] = kPartialMode;
    state.window_address = kTiming0;
    state.window_latch = 0x5555;
    SimCard card(state);
    card.outw(kWin2, 0x7777);
    EXPECT_EQ(card.state().registers.at(kTiming0), 0x77775555u);
    card.outw(kWin0, 0x1111);
    EXPECT_EQ(card.state().registers.at(kTiming0), 0x77775555u);
}

TEST(Window, StaysAt3D0WhenTheCrtControllerIsMonochrome) {
    CardState state = Unlocked();
    state.misc_output = 0x66;
    state.registers[kCorePll] = 0x00006207;
    SimCard card(state);
    Mode(card, kAddressMode, kMono);
    card.outw(kWin2, 0x0068);
    card.outw(kWin0, 0x0500);
    Mode(card, kDataMode, kMono);
    EXPECT_EQ(card.inw(kWin0), 0x6207);
    EXPECT_EQ(card.inw(kWin2), 0x0000);
}

TEST(Window, PllTestCounterReportsLockAndEveryAccessIsRecorded) {
    SimCard card;
    EXPECT_EQ(ReadRegister(card, kTestCounter) & 0xE0000000u, 0xE0000000u);
    EXPECT_EQ(ReadRegister(card, 0x123450), 0u);
    WriteRegister(card, 0x123454, 0x99);
    EXPECT_EQ(card.state().registers.count(0x123450), 1u);
    EXPECT_EQ(card.state().registers.at(0x123454), 0x99u);
}

TEST(Window, StrapsAreReadOnly) {
    CardState state;
    state.registers[kStraps] = 0x40;
    SimCard card(state);
    WriteRegister(card, kStraps, 0x00);
    EXPECT_EQ(ReadRegister(card, kStraps), 0x40u);
    EXPECT_TRUE(card.state().faults.empty()) << FaultList(card.state());
}

// --- Faults -----------------------------------------------------------------

struct FaultCase {
    const char* name;
    std::function<void(SimCard&)> run;
    const char* fault;  // nullptr: none expected
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

class Faults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(Faults, AreRecorded) {
    const FaultCase& c = GetParam();
    SimCard card;
    c.run(card);
    if (c.fault == nullptr) {
        EXPECT_TRUE(card.state().faults.empty()) << FaultList(card.state());
    } else {
        EXPECT_TRUE(HasFault(card.state(), c.fault)) << "got:\n" << FaultList(card.state());
    }
}

// Writes `value` to `address` inside the interrupt bracket.
std::function<void(SimCard&)> InBracket(std::uint32_t address, std::uint32_t value) {
    return [=](SimCard& card) {
        card.DisableInterrupts();
        WriteRegister(card, address, value);
        card.EnableInterrupts();
    };
}

std::function<void(SimCard&)> Plain(std::uint32_t address, std::uint32_t value) {
    return [=](SimCard& card) { WriteRegister(card, address, value); };
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Faults,
    ::testing::Values(
        FaultCase{"CorePllOutsideBracket", Plain(kCorePll, 0x6207),
                  "core PLL 0x680500 written outside the interrupt bracket (0x00006207)"},
        FaultCase{"MemPllOutsideBracket", Plain(kMemPll, 0x740a),
                  "memory PLL 0x680504 written outside the interrupt bracket"},
        FaultCase{"SelectOutsideBracket", Plain(kSelect, 0x500),
                  "PLL select 0x68050c written outside the interrupt bracket"},
        FaultCase{"PllInBracket", InBracket(kCorePll, 0x6207), nullptr},
        FaultCase{"SelectInBracket", InBracket(kSelect, 0x500), nullptr},
        FaultCase{"TimingOutsideBracket", Plain(kTiming0, 0x1), nullptr},
        FaultCase{"PllMZero", InBracket(kCorePll, 0x6200), "M = 0"},
        FaultCase{"PllNZero", InBracket(kMemPll, 0x0007), "N = 0"},
        FaultCase{"StrapBit31", Plain(kStraps, 0x80000040), "bit 31"},
        FaultCase{"WindowReadDisabled",
                  [](SimCard& card) {
                      Unlock(card);
                      Mode(card, 0x04);
                      EXPECT_EQ(card.inb(kWin0), 0xFF);
                  },
                  "window port 0x3d0 read while the window is disabled (CR38 0x04)"},
        FaultCase{"WindowWriteDisabled",
                  [](SimCard& card) {
                      Unlock(card);
                      Mode(card, 0x00);
                      card.outb(0x3D3, 0x01);
                      EXPECT_EQ(card.state().window_address, 0u);
                  },
                  "window port 0x3d3 written while the window is disabled"},
        FaultCase{"WindowWhileLocked",
                  [](SimCard& card) {
                      Unlock(card);
                      Mode(card, kAddressMode);
                      card.outw(kColour, 0x991F);  // lock again
                      card.outw(kWin0, 0x1234);
                      EXPECT_EQ(card.state().window_address, 0u);
                      EXPECT_EQ(card.inb(kWin0), 0xFF);
                  },
                  "window port 0x3d0 written while the extended CRT controller registers are "
                  "locked"},
        FaultCase{"DisableTwice",
                  [](SimCard& card) {
                      card.DisableInterrupts();
                      card.DisableInterrupts();
                      card.EnableInterrupts();
                  },
                  "DisableInterrupts called while interrupts are already disabled"},
        FaultCase{"EnableWithoutDisable", [](SimCard& card) { card.EnableInterrupts(); },
                  "EnableInterrupts called while interrupts are not disabled"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST(SimCard, StrapWriteWithBit31IsRecordedButDoesNotOverride) {
    CardState state;
    state.registers[kStraps] = 0x40;
    SimCard card(state);
    WriteRegister(card, kStraps, 0x80000000);
    EXPECT_EQ(card.state().registers.at(kStraps), 0x40u);
    EXPECT_EQ(card.state().faults.size(), 1u);
}

// --- Interrupt bracket ------------------------------------------------------

// --- Memory and timing ------------------------------------------------------

TEST(SimCard, PhysicalMemoryIsTheBiosAtC0000AndZeroElsewhere) {
    CardState state;
    state.bios = {0x55, 0xAA, 0x10};
    SimCard card(state);
    std::vector<std::uint8_t> bytes(6, 0x77);
    card.ReadFromPhysicalMemory(0xBFFFE, bytes);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0, 0, 0x55, 0xAA, 0x10, 0}));
    card.ReadFromPhysicalMemory(0xFFFFFFFE, bytes);
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(6, 0));
}

TEST(SimCard, BuiltinCardIsAGeForce2GtsAt14318Khz) {
    SimCard card(ruvuvuri::app::BuiltinGeForce2Gts());
    std::vector<std::uint8_t> bios(0x200);
    card.ReadFromPhysicalMemory(0xC0000, bios);
    const unsigned pcir = bios[0x18] | bios[0x19] << 8;
    ASSERT_LT(pcir + 8, bios.size());
    EXPECT_EQ(bios[pcir + 6] | bios[pcir + 7] << 8, 0x0150);
    EXPECT_EQ(card.inb(kMiscRead) & 1, 1);
    EXPECT_EQ(ReadRegister(card, kStraps) & 0x40, 0x40u);
    EXPECT_EQ(ReadRegister(card, kCorePll), 0x00006207u);
    EXPECT_EQ(ReadRegister(card, kMemPll), 0x0000740au);
    EXPECT_TRUE(card.state().faults.empty());
}

}  // namespace
