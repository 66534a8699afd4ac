// SPDX-License-Identifier: GPL-2.0-or-later
// The panel callbacks on a scripted panel engine over the simulated card: what
// Apply writes with either answer, what the fields show afterwards, the BIOS
// fields, and that only the commit event acts.
#include "app/panel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <set>
#include <variant>

#include "support/expected_trace.h"
#include "support/trace_decoder.h"

namespace ruvuvuri::app {
namespace {

using test::TracedCard;
using namespace ruvuvuri::ui;  // the panel constants
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A panel engine that keeps control values in a map and answers the
// confirmation from a script.
class ScriptedEngine final : public ui::UiEngine {
  public:
    int LoadPanel(int, const std::string&, int) override { return load_result; }
    void DisplayPanel(int) override { ++displayed; }
    int RunUserInterface() override { return 0; }
    void QuitUserInterface(int code) override { quit_code = code; }
    void SetCtrlVal(int, int control, const std::string& value) override {
        values[control] = value;
    }
    void SetCtrlVal(int, int control, double value) override { values[control] = value; }
    void SetCtrlVal(int, int control, std::uint32_t value) override { values[control] = value; }
    bool GetCtrlVal(int, int control, double* value) override { return Get(control, value); }
    bool GetCtrlVal(int, int control, std::uint32_t* value) override { return Get(control, value); }
    int ConfirmPopup(const std::string& title, const std::string& message) override {
        questions.push_back(title + "|" + message);
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void MessagePopup(const std::string&, const std::string& message) override {
        messages.push_back(message);
    }
    bool GetCtrlLimits(int, int control, double* minimum, double* maximum) override {
        *minimum = 80.0;
        *maximum = control == PANEL_CORECLK ? 400.0 : 800.0;
        return true;
    }
    bool SetCtrlStepRule(int, int control, ui::StepRule rule) override {
        steps[control] = std::move(rule);
        return true;
    }
    const std::string& last_error() const override { return error; }
    bool interactive() const override { return person; }

    template <typename T>
    T Value(int control) const {
        return std::get<T>(values.at(control));
    }

    // A field whose text the user left incomplete reads as no value.
    template <typename T>
    bool Get(int control, T* value) {
        if (incomplete.count(control) != 0) {
            return false;
        }
        *value = std::get<T>(values.at(control));
        return true;
    }

    bool person = true;
    int load_result = 1;
    std::string error = "cannot open the panel file missing.ui";
    std::set<int> incomplete;
    std::vector<std::string> messages;
    int displayed = 0;
    int quit_code = -1;
    std::deque<int> answers;
    std::vector<std::string> questions;
    std::map<int, std::variant<std::string, double, std::uint32_t>> values;
    std::map<int, ui::StepRule> steps;
};

constexpr std::uint32_t kCore = 0x680500, kMem = 0x680504, kSelect = 0x68050C;
constexpr std::uint32_t kTiming0 = 0x100220, kTiming1 = 0x100224, kTiming2 = 0x100228;

test::CardModel Card14318() {
    test::CardModel model;
    model.registers = {{0x101000, 0x40},      {kCore, 0x00006e09},    {kMem, 0x0000740a},
                       {kSelect, 0x00000000}, {kTiming0, 0x22322222}, {kTiming1, 0x00000a0a},
                       {kTiming2, 0x05050505}};
    return model;
}

// The program's world up to the panel: card read, panel started.
struct PanelWorld {
    explicit PanelWorld(const test::CardModel& model = Card14318(), card::BiosImage image = {},
                        bool card_check_passed = true,
                        std::optional<hw::StartedClocks> started = std::nullopt)
        : card(test::StateFor(model)),
          bios(image),
          engine(card.window),
          panel(bios, engine, started) {
        if (card_check_passed) {
            engine.EnableClockChanges();
        }
        engine.GetCurrentClocks();
        panel.AttachEngine(ui);
        EXPECT_EQ(panel.Start("Ruvuvuri.ui", "banner"), 0);
        card.out.str("");
    }

    int Apply() { return panel.SetNewClocks(panel.panel_handle(), 0, EVENT_COMMIT, nullptr, 0, 0); }
    std::vector<std::uint32_t> Written() const { return test::WrittenAddresses(card.Lines()); }

    TracedCard card;
    card::BiosImage bios;
    clock::ClockEngine engine;
    MainPanel panel;
    ScriptedEngine ui;
};

TEST(MainPanel, StartFillsEveryField) {
    PanelWorld world;
    EXPECT_EQ(world.ui.displayed, 1);
    EXPECT_EQ(world.ui.Value<std::string>(PANEL_BANNER), "banner");
    EXPECT_DOUBLE_EQ(world.ui.Value<double>(PANEL_CORECLK), 174.997);
    EXPECT_DOUBLE_EQ(world.ui.Value<double>(PANEL_MEMCLK), 166.088);
    EXPECT_EQ(world.ui.Value<std::uint32_t>(PANEL_TIMING0), 0x22322222u);
    EXPECT_EQ(world.ui.Value<std::uint32_t>(PANEL_TIMING1), 0x00000a0au);
    EXPECT_EQ(world.ui.Value<std::uint32_t>(PANEL_TIMING2), 0x05050505u);
    // The memory field's arrows follow the memory PLL's search.
    EXPECT_DOUBLE_EQ(world.ui.steps.at(PANEL_MEMCLK)(798.228, +1), 801.808);
}

TEST(MainPanel, AnsweringNoWritesNothingAndShowsTheCardAgain) {
    PanelWorld world;
    world.ui.values[PANEL_CORECLK] = 250.0;
    world.ui.values[PANEL_TIMING1] = std::uint32_t{0x12345678};
    world.ui.answers = {0};

    EXPECT_EQ(world.Apply(), 0);

    // The question as it stands, then what would change, as the fields show it.
    EXPECT_THAT(world.ui.questions,
                ElementsAre("Ruvuvuri|Core,Memory clocks and Timings will be changed now!\n"
                            "Are You shure?\n\n"
                            "Core clock: 174.997 MHz -> 250.014 MHz (asked 250.000)\n"
                            "Timing 1 (0x100224): 0x00000A0A -> 0x12345678"));
    EXPECT_EQ(world.ui.Value<std::string>(PANEL_STATUS),
              "Nothing was written; the fields show the card again.");
    // Nothing is written, and the read-back is one whole readout through the
    // window: crystal and both PLLs under the unlock, then the three timings.
    // The start-up readout left the CRT controller index at CR38.
    test::CardModel after_start = Card14318();
    after_start.crtc_index = 0x38;
    test::ExpectedTrace readback(after_start);
    readback.SaveIndexAndUnlock()
        .RegisterRead(0x101000)
        .RegisterRead(kMem)
        .RegisterRead(kCore)
        .RestoreIndex()
        .RegisterRead(kTiming0)
        .RegisterRead(kTiming1)
        .RegisterRead(kTiming2);
    const std::vector<std::string> expected(readback.lines().begin() + 1,  // after the header
                                            readback.lines().end());
    EXPECT_EQ(world.card.Lines(), expected);
    EXPECT_DOUBLE_EQ(world.ui.Value<double>(PANEL_CORECLK), 174.997);
    EXPECT_EQ(world.ui.Value<std::uint32_t>(PANEL_TIMING1), 0x00000a0au);
}

TEST(MainPanel, AnsweringYesWritesBothPllsAndAllTimingsEvenUnchanged) {
    PanelWorld world;
    world.ui.answers = {1};

    world.Apply();

    ASSERT_EQ(world.ui.questions.size(), 1u);
    EXPECT_THAT(world.ui.questions[0],
                ::testing::EndsWith("Are You shure?\n\nNo field was edited: the card is written "
                                    "with the clocks and timings it has."));
    EXPECT_THAT(world.Written(),
                ElementsAre(kSelect, kCore, kCore, kMem, kMem, kTiming0, kTiming1, kTiming2));
    EXPECT_THAT(world.card.sim.state().faults, IsEmpty());
}

// Restore asks the apply question over the old -> new list and writes back
// the words the card started with; without a record it says so and writes
// nothing.
TEST(MainPanel, RestoreWritesBackTheClocksTheCardStartedWith) {
    PanelWorld none;
    none.panel.Restore(none.panel.panel_handle(), 0, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_THAT(none.ui.messages, ElementsAre(::testing::HasSubstr("No run has read the card")));
    EXPECT_THAT(none.Written(), IsEmpty());

    PanelWorld world(Card14318(), {}, true,
                     hw::StartedClocks{0x6207, 0x740a, {0x22322222, 0x0a0a, 0x11111111}});
    world.ui.answers = {1};
    world.panel.Restore(world.panel.panel_handle(), 0, EVENT_COMMIT, nullptr, 0, 0);
    ASSERT_EQ(world.ui.questions.size(), 1u);
    EXPECT_THAT(world.ui.questions[0],
                ::testing::EndsWith("Are You shure?\n\nCore clock: 174.997 MHz -> 200.452 MHz\n"
                                    "Timing 2 (0x100228): 0x05050505 -> 0x11111111"));
    EXPECT_EQ(world.card.sim.state().registers.at(kCore), 0x6207u);
    EXPECT_EQ(world.card.sim.state().registers.at(kTiming2), 0x11111111u);
    EXPECT_DOUBLE_EQ(world.ui.Value<double>(PANEL_CORECLK), 200.452);
    EXPECT_THAT(world.card.sim.state().faults, IsEmpty());
}

// The preview shows the plan of what Apply would write from the fields, with
// no write to the card; an Apply of the same fields then writes exactly it.
TEST(MainPanel, PreviewShowsWhatApplyWritesAndWritesNothing) {
    PanelWorld world;
    world.ui.values[PANEL_CORECLK] = 200.0;
    world.ui.values[PANEL_TIMING1] = std::uint32_t{0x12345678};

    world.panel.Preview(world.panel.panel_handle(), 0, EVENT_COMMIT, nullptr, 0, 0);

    EXPECT_THAT(world.Written(), IsEmpty());
    EXPECT_THAT(world.ui.questions, IsEmpty());
    ASSERT_EQ(world.ui.messages.size(), 1u);
    const std::string& plan = world.ui.messages[0];
    EXPECT_THAT(plan, ::testing::StartsWith(std::string(kPreviewHeading) + "\n\nRegister"));
    for (const char* line : {
             "\nPLL select   0x68050C  0x00000000  0x00000500\n",
             "\nCore PLL     0x680500  0x00006E09  0x00006207  M 7 N 98 P 0: 200.452 MHz, asked "
             "200.000 MHz\n",
             "\nMemory PLL   0x680504  0x0000740A  0x0000740A  M 10 N 116 P 0: 166.088 MHz, "
             "asked 166.088 MHz\n",
             "\nTiming 0     0x100220  0x22322222  0x22322222\n",
             "\nTiming 1     0x100224  0x00000A0A  0x12345678\n",
             "\nTiming 2     0x100228  0x05050505  0x05050505\n",
         }) {
        EXPECT_THAT(plan, ::testing::HasSubstr(line));
    }

    world.ui.answers = {1};
    world.Apply();
    const auto& registers = world.card.sim.state().registers;
    EXPECT_EQ(registers.at(kSelect), 0x500u);
    EXPECT_EQ(registers.at(kCore), 0x6207u);
    EXPECT_EQ(registers.at(kMem), 0x740au);
    EXPECT_EQ(registers.at(kTiming1), 0x12345678u);
}

// The status line names a timing register that did not keep what was written.
TEST(MainPanel, AppliedFieldsShowWhatThePllsProduce) {
    struct Case {
        double typed_core;
        double typed_mem;
        bool timing2_kept;
        double shown_core;
        double shown_mem;
        const char* status;
    } cases[] = {{200.0, 183.0, true, 200.452, 182.952,
                  "Core 200.452 MHz, asked 200; memory 182.952 MHz, asked 183; timings as "
                  "written."},
                 {80.0, 800.0, true, 80.050, 798.228,
                  "Core 80.050 MHz, asked 80; memory 798.228 MHz, asked 800; timings as "
                  "written."},
                 {200.0, 183.0, false, 200.452, 182.952,
                  "Core 200.452 MHz, asked 200; memory 182.952 MHz, asked 183; Timing 2 "
                  "(0x100228) reads 0x05050505, written 0xFFFFFFFF."}};
    for (const Case& c : cases) {
        PanelWorld world;
        if (!c.timing2_kept) {
            world.card.bus.ignore_writes = {kTiming2};
        }
        world.ui.values[PANEL_CORECLK] = c.typed_core;
        world.ui.values[PANEL_MEMCLK] = c.typed_mem;
        world.ui.values[PANEL_TIMING2] = std::uint32_t{0xffffffff};
        world.ui.answers = {1};

        world.Apply();

        EXPECT_DOUBLE_EQ(world.ui.Value<double>(PANEL_CORECLK), c.shown_core);
        EXPECT_DOUBLE_EQ(world.ui.Value<double>(PANEL_MEMCLK), c.shown_mem);
        EXPECT_EQ(world.ui.Value<std::uint32_t>(PANEL_TIMING2),
                  c.timing2_kept ? 0xffffffffu : 0x05050505u);
        EXPECT_EQ(world.ui.Value<std::string>(PANEL_STATUS), c.status);
    }
}

// An untouched clock field asks for exactly the kHz that was read. Through
// MHz, 32638 kHz truncates to 32637, for which the search picks other
// coefficients (0x25209 instead of 0x24908).
TEST(MainPanel, AnUntouchedClockFieldAsksForExactlyTheClockRead) {
    test::CardModel model = Card14318();
    model.registers[kCore] = 0x0000d45d;
    PanelWorld world(model);
    world.ui.answers = {1};

    world.Apply();

    EXPECT_EQ(world.card.sim.state().registers.at(kCore), 0x00024908u);
}

TEST(MainPanel, OnlyTheCommitEventActs) {
    PanelWorld world;
    for (int event : {0, 2, 3, 11}) {
        EXPECT_EQ(world.panel.SetNewClocks(world.panel.panel_handle(), 0, event, nullptr, 0, 0), 0);
        EXPECT_EQ(world.panel.Exit(world.panel.panel_handle(), 0, event, nullptr, 0, 0), 0);
    }
    EXPECT_THAT(world.card.Lines(), IsEmpty());
    EXPECT_THAT(world.ui.questions, IsEmpty());
    EXPECT_EQ(world.ui.quit_code, -1);

    world.panel.Exit(world.panel.panel_handle(), 0, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(world.ui.quit_code, 0);
}

TEST(MainPanel, NothingHappensBeforeTheCardCheckAllowsIt) {
    PanelWorld world(Card14318(), {}, false);
    world.ui.answers = {1};
    world.Apply();
    EXPECT_THAT(world.card.Lines(), IsEmpty());
    EXPECT_THAT(world.ui.questions, IsEmpty());
}

TEST(MainPanel, BiosFields) {
    card::BiosImage image;
    const std::span<std::uint8_t> b = image.image();
    b[0x7F] = 0x03, b[0x7E] = 0x11, b[0x7D] = 0x01, b[0x7C] = 0x05;
    const char text[] = {'N', 'V', '1', '5', 0, 'X', 'Y', 'Z'};
    std::copy(std::begin(text), std::end(text), b.begin() + 0x38);
    b[0x54] = 0xDE, b[0x55] = 0x10, b[0x56] = 0x50, b[0x57] = 0x01;
    b[0x18] = 0x80, b[0x19] = 0x00, b[0x86] = 0x51, b[0x87] = 0x01;

    PanelWorld world(Card14318(), image);

    EXPECT_EQ(world.ui.Value<std::string>(PANEL_BIOSVER), "3.11.01.05");
    EXPECT_EQ(world.ui.Value<std::string>(PANEL_BIOSTEXT), "NV15");
    EXPECT_EQ(world.ui.Value<std::uint32_t>(PANEL_ROMWORD_54), 0x10DEu);
    EXPECT_EQ(world.ui.Value<std::uint32_t>(PANEL_ROMWORD_56), 0x0150u);
    EXPECT_EQ(world.ui.Value<std::uint32_t>(PANEL_DEVICEID), 0x0151u);
}

TEST(MainPanel, APanelFileThatDoesNotLoadEndsTheRun) {
    TracedCard card(test::StateFor(Card14318()));
    card::BiosImage bios;
    clock::ClockEngine engine(card.window);
    MainPanel panel(bios, engine);
    ScriptedEngine ui;
    ui.load_result = -1;
    panel.AttachEngine(ui);
    EXPECT_EQ(panel.Start("missing.ui", "banner"), -1);
    EXPECT_EQ(ui.displayed, 0);
    EXPECT_EQ(panel.load_error(), "cannot open the panel file missing.ui");
}

// A field the user left incomplete stops Apply before the question and before
// any port access; the popup names every such field, and the edits stay.
TEST(MainPanel, AFieldWithoutACompleteValueStopsApplyAndWritesNothing) {
    const struct {
        std::set<int> incomplete;
        std::vector<const char*> named;
    } cases[] = {
        {{PANEL_TIMING0},
         {"Timing 0 (0x100220) is not a complete hexadecimal value (eight digits, 0x00000000 "
          "to 0xFFFFFFFF)"}},
        {{PANEL_CORECLK, PANEL_TIMING2},
         {"Core clock holds no number within the panel's limits (80.000 to 400.000 MHz)",
          "Timing 2 (0x100228)"}},
        {{PANEL_MEMCLK},
         {"Memory clock holds no number within the panel's limits (80.000 to 800.000 MHz)"}},
    };
    for (const auto& c : cases) {
        PanelWorld world;
        world.ui.values[PANEL_TIMING1] = std::uint32_t{0x12345678};
        world.ui.incomplete = c.incomplete;
        world.ui.answers = {1};

        EXPECT_EQ(world.Apply(), 0);

        EXPECT_THAT(world.card.Lines(), IsEmpty());
        EXPECT_THAT(world.ui.questions, IsEmpty());
        ASSERT_EQ(world.ui.messages.size(), 1u);
        for (const char* named : c.named) {
            EXPECT_THAT(world.ui.messages[0], ::testing::HasSubstr(named));
        }
        EXPECT_EQ(world.ui.Value<std::uint32_t>(PANEL_TIMING1), 0x12345678u);
    }
}

// Exit asks before it throws away edits a person has not applied; without
// edits, or with no person to ask (a script), it ends at once.
TEST(MainPanel, ExitAsksBeforeDiscardingUnappliedEdits) {
    const struct {
        bool edited;
        bool person;
        std::deque<int> answers;
        int quit_code;  // -1: the panel stays
        std::size_t questions;
    } cases[] = {
        {false, true, {}, 0, 0},
        {true, true, {0}, -1, 1},
        {true, true, {1}, 0, 1},
        {true, false, {}, 0, 0},
    };
    for (const auto& c : cases) {
        PanelWorld world;
        world.ui.person = c.person;
        world.ui.answers = c.answers;
        if (c.edited) {
            world.ui.values[PANEL_MEMCLK] = 183.0;
            world.ui.incomplete = {PANEL_TIMING2};
        }

        world.panel.Exit(world.panel.panel_handle(), 0, EVENT_COMMIT, nullptr, 0, 0);

        EXPECT_EQ(world.ui.quit_code, c.quit_code);
        ASSERT_EQ(world.ui.questions.size(), c.questions);
        if (c.questions != 0) {
            EXPECT_EQ(world.ui.questions[0],
                      "Ruvuvuri|These edits have not been applied. Exit and discard them?\n\n"
                      "Memory clock: 166.088 MHz -> 183.000 MHz\n"
                      "Timing 2 (0x100228): 0x05050505 -> (incomplete)");
        }
        EXPECT_THAT(world.card.Lines(), IsEmpty());
    }
}

}  // namespace
}  // namespace ruvuvuri::app
