// SPDX-License-Identifier: GPL-2.0-or-later
#include "clock/clock_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/expected_trace.h"

namespace ruvuvuri::clock {
namespace {

using test::CardModel;
using test::ExpectedTrace;
using test::StateFor;
using test::TracedCard;

constexpr std::uint32_t kStrap14318 = 0x0000'0040;
constexpr std::uint32_t kStrap13500 = 0x0000'0000;

// A card whose extended CRT controller registers are still locked and whose
// index register holds something the program must put back.
CardModel LockedModel(std::uint32_t strap, std::uint32_t memory_pll, std::uint32_t core_pll) {
    CardModel model;
    model.crtc_index = 0x11;
    model.registers = {
        {kStrapRegister, strap},         {kMemPllRegister, memory_pll},
        {kCorePllRegister, core_pll},    {kPllSelectRegister, 0x0000'0200},
        {kTiming0Register, 0x2232'2222}, {kTiming1Register, 0x0000'0A0A},
        {kTiming2Register, 0x0505'0505},
    };
    return model;
}

hw::CardState LockedState(const CardModel& model) {
    hw::CardState state = StateFor(model);
    state.extended_unlocked = false;
    state.crtc[0x1F] = 0x00;
    return state;
}

struct Engine {
    explicit Engine(const CardModel& model) : card(LockedState(model)), engine(card.window) {
        engine.EnableClockChanges();
    }
    TracedCard card;
    ClockEngine engine;
};

ExpectedTrace GetSpeedTrace(const CardModel& model) {
    ExpectedTrace expected(model);
    expected.SetBaseport()
        .SaveIndexAndUnlock()
        .RegisterRead(kStrapRegister)
        .RegisterRead(kMemPllRegister)
        .RegisterRead(kCorePllRegister)
        .RestoreIndex();
    return expected;
}

struct ReadoutCase {
    std::string name;
    std::uint32_t strap;
    std::uint32_t memory_pll;
    std::uint32_t core_pll;
    int base_freq;
    std::uint32_t memory_khz;
    std::uint32_t core_khz;
};

const std::vector<ReadoutCase> kReadoutCases = {
    {"Crystal14318", kStrap14318, 0x0001'7B0B, 0x0000'6207, 14318, 80050, 200452},
    {"Crystal13500", kStrap13500, 0x0001'7B0B, 0x0000'6207, 13500, 75477, 189000},
    {"StrapOtherBitsIgnored", 0xFFFF'FFBF, 0x0000'740A, 0x0000'6207, 13500, 156600, 189000},
    {"MZeroReadsAsZero", kStrap14318, 0x0000'7400, 0x0000'6207, 14318, 0, 200452},
};

TEST(ClockReadout, GetSpeedTraceAndValues) {
    for (const ReadoutCase& c : kReadoutCases) {
        SCOPED_TRACE(c.name);
        const CardModel model = LockedModel(c.strap, c.memory_pll, c.core_pll);
        Engine rig(model);
        const std::optional<Speed> speed = rig.engine.GetSpeed();
        ASSERT_TRUE(speed);
        EXPECT_EQ(speed->memclk, c.memory_khz);
        EXPECT_EQ(speed->nvclk, c.core_khz);
        EXPECT_EQ(speed->mem_pll_word, c.memory_pll);
        EXPECT_EQ(speed->core_pll_word, c.core_pll);
        EXPECT_EQ(speed->base_freq, c.base_freq);
        EXPECT_EQ(rig.card.Lines(), GetSpeedTrace(model).lines());
        EXPECT_EQ(rig.card.sim.state().crtc_index, 0x11);
        EXPECT_TRUE(rig.card.sim.state().faults.empty());
    }
}

TEST(ClockReadout, MonoCrtControllerKeepsWindowPorts) {
    CardModel model = LockedModel(kStrap14318, 0x0000'740A, 0x0000'6207);
    model.misc_output = 0x66;
    Engine rig(model);
    const std::optional<Speed> speed = rig.engine.GetSpeed();
    ASSERT_TRUE(speed);
    EXPECT_EQ(speed->memclk, 166088u);
    EXPECT_EQ(speed->nvclk, 200452u);
    EXPECT_EQ(rig.card.Lines(), GetSpeedTrace(model).lines());
}

TEST(ClockReadout, GetCurrentClocksReadsClocksThenTimings) {
    const CardModel model = LockedModel(kStrap14318, 0x0001'7B0B, 0x0000'6207);
    Engine rig(model);
    const ClockReading e = rig.engine.GetCurrentClocks();

    ExpectedTrace expected = GetSpeedTrace(model);
    expected.RegisterRead(kTiming0Register)
        .RegisterRead(kTiming1Register)
        .RegisterRead(kTiming2Register);
    EXPECT_EQ(rig.card.Lines(), expected.lines());

    EXPECT_EQ(e.base_freq, kCrystal14318);
    EXPECT_EQ(e.mem_pll_word, 0x0001'7B0Bu);
    EXPECT_EQ(e.core_pll_word, 0x0000'6207u);
    EXPECT_EQ(e.memclk, 80050u);
    EXPECT_EQ(e.nvclk, 200452u);
    EXPECT_DOUBLE_EQ(e.memclk_d, 80.05);
    EXPECT_DOUBLE_EQ(e.nvclk_d, 200.452);
    EXPECT_EQ(e.tim0, 0x2232'2222u);
    EXPECT_EQ(e.tim1, 0x0000'0A0Au);
    EXPECT_EQ(e.tim2, 0x0505'0505u);
    EXPECT_EQ(rig.engine.current().tim2, 0x0505'0505u);
}

// The three timings go to their own registers, each as one complete write, and
// an index that names no timing register is refused before any port access.
TEST(ClockProgramming, SetTimingWritesOneWholeRegister) {
    const CardModel model = LockedModel(kStrap14318, 0x0001'7B0B, 0x0000'6207);
    TracedCard card(StateFor(model));
    ClockEngine engine(card.window);
    engine.EnableClockChanges();
    engine.SetTiming(0, 0x1111'1111);
    engine.SetTiming(2, 0x8000'8001);
    EXPECT_THROW(engine.SetTiming(3, 0), std::out_of_range);

    ExpectedTrace expected(model);
    expected.SetBaseport()
        .RegisterWrite(kTiming0Register, 0x1111'1111)
        .RegisterWrite(kTiming2Register, 0x8000'8001);
    EXPECT_EQ(card.Lines(), expected.lines());
    EXPECT_EQ(card.sim.state().registers.at(kTiming1Register), 0x0000'0A0Au);
    EXPECT_EQ(card.sim.state().registers.at(kTiming2Register), 0x8000'8001u);
    EXPECT_TRUE(card.sim.state().faults.empty());
}

TEST(ClockEngineGate, NothingTouchedWhileCanChangeClocksIsZero) {
    const CardModel model = LockedModel(kStrap14318, 0x0001'7B0B, 0x0000'6207);
    TracedCard card(LockedState(model));
    ClockEngine engine(card.window);
    const std::vector<std::string> before = card.Lines();

    EXPECT_FALSE(engine.CanChangeClocks());
    EXPECT_FALSE(engine.GetSpeed());
    EXPECT_EQ(engine.GetCurrentClocks().nvclk, 0u);
    engine.ChangeSpeed(183000, 200000);
    engine.SetTiming(0, 0x1234'5678);

    EXPECT_EQ(engine.current().memclk, 0u);
    EXPECT_EQ(engine.current().tim0, 0u);
    // The window's own port choice is all there is.
    EXPECT_EQ(before, ExpectedTrace(model).SetBaseport().lines());
    EXPECT_EQ(card.Lines(), before);
    EXPECT_EQ(card.sim.state().registers, model.registers);
}

struct ChangeCase {
    std::string name;
    std::uint32_t strap;
    std::uint32_t memory_pll;  // held before
    std::uint32_t core_pll;    // held before
    std::uint32_t memory_khz;
    std::uint32_t core_khz;
    // Words written: stage one (new M/N under the old upper half), stage two.
    std::uint32_t core_stage1, core_stage2;
    std::uint32_t memory_stage1, memory_stage2;
};

const std::vector<ChangeCase> kChangeCases = {
    {"Crystal14318", kStrap14318, 0x0000'740A, 0x0000'6E09, 183000, 200000,  //
     0x0000'6207, 0x0000'6207, 0x0000'7309, 0x0000'7309},
    {"CoreUpperHalf0001", kStrap14318, 0x0000'740A, 0x0001'6E09, 183000, 200000,  //
     0x0001'6207, 0x0000'6207, 0x0000'7309, 0x0000'7309},
    {"OldPostDividerKeptInStageOne", kStrap14318, 0x0001'7B0B, 0x0001'7B0B, 80000, 175000,  //
     0x0001'6E09, 0x0000'6E09, 0x0001'7B0B, 0x0001'7B0B},
    {"Crystal13500", kStrap13500, 0x0000'740A, 0x0000'6E09, 183000, 200000,  //
     0x0000'A30B, 0x0000'A30B, 0x0000'7A09, 0x0000'7A09},
    {"CoreTargetZeroWritesHeldValue", kStrap14318, 0x0000'740A, 0x0001'6E09, 183000, 0,  //
     0x0001'6E09, 0x0001'6E09, 0x0000'7309, 0x0000'7309},
    {"MemoryTargetZeroWritesHeldValue", kStrap14318, 0x0001'740A, 0x0000'6E09, 0, 200000,  //
     0x0000'6207, 0x0000'6207, 0x0001'740A, 0x0001'740A},
    {"CoreNeedsNAbove255WritesHeldValue", kStrap14318, 0x0000'740A, 0x0000'6E09, 183000,
     600000,  //
     0x0000'6E09, 0x0000'6E09, 0x0000'7309, 0x0000'7309},
    {"MemoryNeedsNAbove255WritesHeldValue", kStrap13500, 0x0000'740A, 0x0000'6E09, 5000000,
     200000,  //
     0x0000'A30B, 0x0000'A30B, 0x0000'740A, 0x0000'740A},
};

TEST(ClockProgramming, ChangeSpeedTraceWhole) {
    for (const ChangeCase& c : kChangeCases) {
        SCOPED_TRACE(c.name);
        const CardModel model = LockedModel(c.strap, c.memory_pll, c.core_pll);
        Engine rig(model);
        rig.engine.ChangeSpeed(c.memory_khz, c.core_khz);

        const std::uint32_t select = model.registers.at(kPllSelectRegister);
        ExpectedTrace expected(model);
        expected.SetBaseport()
            .SaveIndexAndUnlock()
            .RegisterRead(kStrapRegister)
            .IrqOff()
            .RegisterRead(kPllSelectRegister)
            .RegisterWrite(kPllSelectRegister, select | 0x500)
            .RegisterRead(kCorePllRegister)
            .RegisterWrite(kCorePllRegister, c.core_stage1)
            .RegisterRead(kCorePllRegister)
            .RegisterWrite(kCorePllRegister, c.core_stage2)
            .RegisterRead(kMemPllRegister)
            .RegisterWrite(kMemPllRegister, c.memory_stage1)
            .RegisterRead(kMemPllRegister)
            .RegisterWrite(kMemPllRegister, c.memory_stage2)
            .RestoreIndex()
            .IrqOn();
        const std::vector<std::string> lines = rig.card.Lines();
        EXPECT_EQ(lines, expected.lines());

        // Inside the bracket: ten complete register accesses and the index
        // restore, nothing else.
        const auto off = std::find(lines.begin(), lines.end(), "irq off");
        const auto on = std::find(lines.begin(), lines.end(), "irq on");
        ASSERT_NE(off, lines.end());
        ASSERT_NE(on, lines.end());
        EXPECT_EQ(on - off - 1, 10 * 18 + 1);

        const hw::CardState& state = rig.card.sim.state();
        EXPECT_EQ(state.registers.at(kCorePllRegister), c.core_stage2);
        EXPECT_EQ(state.registers.at(kMemPllRegister), c.memory_stage2);
        EXPECT_EQ(state.crtc_index, model.crtc_index);
        EXPECT_TRUE(state.faults.empty()) << state.faults.front();
        EXPECT_FALSE(rig.card.sim.interrupts_disabled());
    }
}

TEST(ClockProgramming, EndStateAfterChangeSpeed183000And200000) {
    CardModel model = LockedModel(kStrap14318, 0x0000'740A, 0x0003'6E09);
    model.registers[kPllSelectRegister] = 0xA000'0201;
    Engine rig(model);
    rig.engine.ChangeSpeed(183000, 200000);

    const hw::CardState& state = rig.card.sim.state();
    EXPECT_EQ(state.registers.at(kCorePllRegister), 0x0000'6207u);
    EXPECT_EQ(state.registers.at(kMemPllRegister), 0x0000'7309u);
    EXPECT_EQ(state.registers.at(kPllSelectRegister), 0xA000'0701u);
    EXPECT_EQ(state.registers.at(kStrapRegister), kStrap14318);
    EXPECT_TRUE(state.faults.empty());

    // Read back, the card now produces what the search chose.
    const std::optional<Speed> speed = rig.engine.GetSpeed();
    ASSERT_TRUE(speed);
    EXPECT_EQ(speed->memclk, 182952u);
    EXPECT_EQ(speed->nvclk, 200452u);
}

// Port accesses cannot fail, but whatever stands between the engine and the
// card may throw (a decorator out of memory): the bracket closes all the same.
class ThrowingIo final : public hw::PortIo {
  public:
    explicit ThrowingIo(hw::PortIo& card) : card_(card) {}
    std::uint8_t inb(std::uint16_t port) override { return card_.inb(port); }
    void outb(std::uint16_t port, std::uint8_t value) override { card_.outb(port, value); }
    std::uint16_t inw(std::uint16_t port) override { return card_.inw(port); }
    void outw(std::uint16_t port, std::uint16_t value) override {
        if (disabled_ && ++writes_inside_ == 20) {
            throw std::runtime_error("stand-in for bad_alloc");
        }
        card_.outw(port, value);
    }
    void ReadFromPhysicalMemory(std::uint32_t address, std::span<std::uint8_t> dest) override {
        card_.ReadFromPhysicalMemory(address, dest);
    }
    void DisableInterrupts() override {
        disabled_ = true;
        card_.DisableInterrupts();
    }
    void EnableInterrupts() override {
        disabled_ = false;
        card_.EnableInterrupts();
    }

  private:
    hw::PortIo& card_;
    bool disabled_ = false;
    int writes_inside_ = 0;
};

TEST(ClockProgramming, TheBracketClosesOnEveryWayOut) {
    hw::SimCard card(StateFor(LockedModel(kStrap14318, 0x0000'740A, 0x0000'6E09)));
    ThrowingIo io(card);
    hw::RegisterWindow window(io);
    ClockEngine engine(window);
    engine.EnableClockChanges();
    EXPECT_THROW(engine.ChangeSpeed(183000, 200000), std::runtime_error);
    EXPECT_FALSE(card.interrupts_disabled());
}

}  // namespace
}  // namespace ruvuvuri::clock
