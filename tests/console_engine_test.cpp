// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/console_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace ruvuvuri::ui {
namespace {

const std::string kPanelPath = RUVUVURI_SOURCE_DIR "/ui/Ruvuvuri.ui";
const std::string kQuestion = "Core,Memory clocks and Timings will be changed now!\nAre You shure?";

struct Call {
    std::string name;
    int panel;
    int control;
    int event;
    int confirmed;  // SetNewClocks: what the confirmation answered
    double core;    // SetNewClocks: the core clock field when pressed
};

std::size_t Count(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

std::string WriteTemp(const std::string& name, const std::string& text) {
    const std::filesystem::path path = std::filesystem::path(testing::TempDir()) / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

std::string PanelWith(const std::string& from, const std::string& to) {
    std::ifstream in(kPanelPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string xml = text.str();
    const auto at = xml.find(from);
    EXPECT_NE(at, std::string::npos) << "the panel file no longer contains " << from;
    if (at != std::string::npos) {
        xml.replace(at, from.size(), to);
    }
    return xml;
}

// One engine on string streams with the panel loaded and filled, and callbacks
// that behave like the program's: the apply button reads the core field and
// asks for confirmation, the exit button ends the loop with code 7.
struct Session {
    explicit Session(const std::string& input, const std::string& panel_file = kPanelPath,
                     bool exit_quits = true, ConsoleInput who = ConsoleInput::Detect)
        : in(input) {
        CallbackTable table = {
            {"SetNewClocks",
             [this](int panel, int control, int event, void*, int, int) {
                 double core = 0.0;
                 engine->GetCtrlVal(panel, PANEL_CORECLK, &core);
                 const int answer = engine->ConfirmPopup("Ruvuvuri", kQuestion);
                 calls.push_back({"SetNewClocks", panel, control, event, answer, core});
                 return 0;
             }},
            {"Preview",
             [this](int panel, int control, int event, void*, int, int) {
                 calls.push_back({"Preview", panel, control, event, 0, 0.0});
                 return 0;
             }},
            {"Restore",
             [this](int panel, int control, int event, void*, int, int) {
                 calls.push_back({"Restore", panel, control, event, 0, 0.0});
                 return 0;
             }},
            {"Exit",
             [this, exit_quits](int panel, int control, int event, void*, int, int) {
                 calls.push_back({"Exit", panel, control, event, 0, 0.0});
                 if (exit_quits) {
                     engine->QuitUserInterface(7);
                 }
                 return 0;
             }},
        };
        engine = CreateConsoleEngine(std::move(table), in, out, err, who);
        handle = engine->LoadPanel(0, panel_file, PANEL);
        if (handle < 0) {
            return;
        }
        engine->SetCtrlVal(handle, PANEL_BANNER, std::string("Test banner"));
        engine->SetCtrlVal(handle, PANEL_BIOSVER, std::string("3.11.01.05"));
        engine->SetCtrlVal(handle, PANEL_ROMWORD_54, std::uint32_t{0x10de});
        engine->SetCtrlVal(handle, PANEL_DEVICEID, std::uint32_t{0x0150});
        engine->SetCtrlVal(handle, PANEL_CORECLK, 200.452);
        engine->SetCtrlVal(handle, PANEL_MEMCLK, 166.088);
        engine->SetCtrlVal(handle, PANEL_TIMING0, std::uint32_t{0x22322222});
        engine->SetCtrlVal(handle, PANEL_TIMING1, std::uint32_t{0x00000a0a});
        engine->SetCtrlVal(handle, PANEL_TIMING2, std::uint32_t{0x05050505});
    }

    int Run() {
        engine->DisplayPanel(handle);
        return engine->RunUserInterface();
    }

    double Double(int control) {
        double value = -1.0;
        engine->GetCtrlVal(handle, control, &value);
        return value;
    }
    std::uint32_t Integer(int control) {
        std::uint32_t value = 0xDEADBEEF;
        engine->GetCtrlVal(handle, control, &value);
        return value;
    }
    std::size_t PanelsPrinted() const { return Count(out.str(), "== Ruvuvuri =="); }
    // What was printed after the first panel.
    std::string AfterFirstPanel() const {
        const std::string text = out.str();
        const std::string end = "(help lists the commands)\n";
        const auto at = text.find(end);
        return at == std::string::npos ? text : text.substr(at + end.size());
    }

    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    std::vector<Call> calls;
    std::unique_ptr<UiEngine> engine;
    int handle = -1;
};

TEST(ConsoleEngine, PanelShowsEveryControlWithItsLabelAndValue) {
    Session session("");
    ASSERT_GT(session.handle, 0) << session.engine->last_error();
    session.engine->DisplayPanel(session.handle);
    const std::string shown = session.out.str();
    struct Line {
        const char* label;
        const char* value;
    };
    for (const Line& line :
         {Line{"BIOS version", "3.11.01.05"}, Line{"Subsystem vendor", "0x10DE"},
          Line{"Subsystem device", "0x0000"}, Line{"Device ID", "0x0150"},
          Line{"Core clock", "200.452 MHz"}, Line{"Memory clock", "166.088 MHz"},
          Line{"Timing 0 (0x100220)", "0x22322222"},
          Line{"Timing 0 (0x100220)", "(t0, 0x00000000 to 0xFFFFFFFF)"},
          Line{"Timing 1 (0x100224)", "0x00000A0A"}, Line{"Timing 2 (0x100228)", "0x05050505"}}) {
        const auto at = shown.find(line.label);
        ASSERT_NE(at, std::string::npos) << line.label << " missing from:\n" << shown;
        const std::string row = shown.substr(at, shown.find('\n', at) - at);
        EXPECT_NE(row.find(line.value), std::string::npos) << row;
    }
    EXPECT_NE(shown.find("Test banner"), std::string::npos);
    EXPECT_NE(shown.find("[Apply] apply"), std::string::npos);
    EXPECT_NE(shown.find("[Exit] exit"), std::string::npos);
    EXPECT_EQ(session.err.str(), "");
}

TEST(ConsoleEngine, EditsWithinLimitsChangeTheFieldAndOthersChangeNothing) {
    struct Case {
        const char* line;
        int control;
        double clock;           // for the clock fields
        std::uint32_t timing;   // for the timing fields
        const char* complaint;  // empty when the edit is taken
    };
    const Case cases[] = {
        {"core 250", PANEL_CORECLK, 250.0, 0, ""},
        {"  CORE   250.5  ", PANEL_CORECLK, 250.5, 0, ""},
        {"core 400", PANEL_CORECLK, 400.0, 0, ""},
        {"core 80", PANEL_CORECLK, 80.0, 0, ""},
        {"core 200.4526", PANEL_CORECLK, 200.453, 0, ""},
        {"mem 800", PANEL_MEMCLK, 800.0, 0, ""},
        {"core 400.5", PANEL_CORECLK, 0, 0, "outside the limits 80.000 to 400.000 MHz"},
        {"core 79.99", PANEL_CORECLK, 0, 0, "outside the limits"},
        {"mem 800.001", PANEL_MEMCLK, 0, 0, "80.000 to 800.000 MHz"},
        {"core -200", PANEL_CORECLK, 0, 0, "outside the limits"},
        {"core abc", PANEL_CORECLK, 0, 0, "'abc' is not a number"},
        {"core 200,5", PANEL_CORECLK, 0, 0, "is not a number"},
        {"core 200MHz", PANEL_CORECLK, 0, 0, "is not a number"},
        {"core nan", PANEL_CORECLK, 0, 0, "is not a number"},
        {"core inf", PANEL_CORECLK, 0, 0, "is not a number"},
        {"core", PANEL_CORECLK, 0, 0, "core takes one value"},
        {"mem 200 300", PANEL_MEMCLK, 0, 0, "mem takes one value"},
        {"t0 FFFFFFFF", PANEL_TIMING0, 0, 0xFFFFFFFF, ""},
        {"t1 0x1234abcd", PANEL_TIMING1, 0, 0x1234ABCD, ""},
        {"T2 0X0", PANEL_TIMING2, 0, 0, ""},
        {"t0 000000001", PANEL_TIMING0, 0, 1, ""},
        {"t0 100000000", PANEL_TIMING0, 0, 0, "'100000000' does not fit in 32 bits"},
        {"t0 0x", PANEL_TIMING0, 0, 0, "not a hexadecimal number"},
        {"t0 -1", PANEL_TIMING0, 0, 0, "not a hexadecimal number"},
        {"t0 12G4", PANEL_TIMING0, 0, 0, "not a hexadecimal number"},
        {"t0 0x0x12", PANEL_TIMING0, 0, 0, "not a hexadecimal number"},
        {"frobnicate 3", 0, 0, 0, "unknown command 'frobnicate'; type help for the list"},
        {"apply now", 0, 0, 0, "apply takes no value"},
    };
    for (const Case& c : cases) {
        Session session(std::string(c.line) + "\n");
        ASSERT_GT(session.handle, 0) << session.engine->last_error();
        session.Run();
        const bool taken = c.complaint[0] == '\0';
        const auto expect = [&](int control, double before) {
            const double want = taken && control == c.control ? c.clock : before;
            EXPECT_NEAR(session.Double(control), want, 1e-9) << c.line;
        };
        expect(PANEL_CORECLK, 200.452);
        expect(PANEL_MEMCLK, 166.088);
        const auto expect_timing = [&](int control, std::uint32_t before) {
            const std::uint32_t want = taken && control == c.control ? c.timing : before;
            EXPECT_EQ(session.Integer(control), want) << c.line;
        };
        expect_timing(PANEL_TIMING0, 0x22322222);
        expect_timing(PANEL_TIMING1, 0x00000a0a);
        expect_timing(PANEL_TIMING2, 0x05050505);

        // From a script the panel is shown once; a change prints its row.
        EXPECT_EQ(session.PanelsPrinted(), 1u) << c.line;
        const std::string after = session.AfterFirstPanel();
        EXPECT_EQ(Count(after, "\n"), taken ? 1u : 0u) << c.line << ": " << after;
        if (taken) {
            EXPECT_EQ(session.err.str(), "") << c.line;
        } else {
            EXPECT_EQ(Count(session.err.str(), "\n"), 1u) << c.line << ": " << session.err.str();
            EXPECT_NE(session.err.str().find(c.complaint), std::string::npos)
                << c.line << ": " << session.err.str();
        }
        ASSERT_EQ(session.calls.size(), 1u) << c.line;  // only the end of the input
        EXPECT_EQ(session.calls[0].name, "Exit") << c.line;
    }
}

TEST(ConsoleEngine, LimitsComeFromThePanelFile) {
    const std::string file = WriteTemp(
        "console_engine_test_limits.ui",
        PanelWith("<double>400.000000000000000</double>", "<double>300.000000000000000</double>"));
    Session session("core 350\ncore 299.5\n", file);
    ASSERT_GT(session.handle, 0) << session.engine->last_error();
    session.Run();
    EXPECT_NE(session.err.str().find("80.000 to 300.000 MHz"), std::string::npos)
        << session.err.str();
    EXPECT_EQ(session.Double(PANEL_CORECLK), 299.5);
    std::filesystem::remove(file);
}

// "preview" presses the Preview button; a panel file without one (from
// before it) still loads, and the command then says so and calls nothing.
TEST(ConsoleEngine, PreviewPressesThePreviewButtonWhereTheFileHasOne) {
    const std::string without = WriteTemp("console_engine_test_preview.ui",
                                          PanelWith("<string>Preview</string>", "<string/>"));
    for (const std::string& file : {kPanelPath, without}) {
        Session session("preview\n", file);
        ASSERT_GE(session.handle, 0) << session.engine->last_error();
        EXPECT_EQ(session.Run(), 7);
        const bool has_button = file == kPanelPath;
        ASSERT_EQ(session.calls.size(), has_button ? 2u : 1u) << file;
        EXPECT_EQ(session.calls[0].name, has_button ? "Preview" : "Exit");
        EXPECT_EQ(session.out.str().find("[Preview] preview") != std::string::npos, has_button);
        EXPECT_EQ(session.err.str().find("no Preview button") != std::string::npos, !has_button);
    }
    std::filesystem::remove(without);
}

TEST(ConsoleEngine, ApplyPressesSetNewClocksAndTheNextLineAnswers) {
    struct Case {
        const char* input;
        int confirmed;
    };
    for (const Case& c : {Case{"core 250\napply\ny\nshow\n", 1},
                          Case{"core 250\napply\nn\nshow\n", 0}, Case{"core 250\nAPPLY\n", 0}}) {
        Session session(c.input);
        EXPECT_EQ(session.Run(), 7) << c.input;
        ASSERT_EQ(session.calls.size(), 2u) << c.input;
        const Call& apply = session.calls[0];
        EXPECT_EQ(apply.name, "SetNewClocks");
        EXPECT_EQ(apply.panel, session.handle);
        EXPECT_EQ(apply.control, 0);
        EXPECT_EQ(apply.event, EVENT_COMMIT);
        EXPECT_EQ(apply.core, 250.0);
        EXPECT_EQ(apply.confirmed, c.confirmed) << c.input;
        EXPECT_EQ(session.calls[1].name, "Exit");
        EXPECT_NE(session.err.str().find("Ruvuvuri: " + kQuestion + " [y/N] "), std::string::npos);
        // The start and "show" where the input has one: the answer took
        // exactly one line.
        const bool shows = std::string(c.input).find("show") != std::string::npos;
        EXPECT_EQ(session.PanelsPrinted(), shows ? 2u : 1u) << c.input;
    }
}

TEST(ConsoleEngine, ConfirmationTakesOnlyYesOrY) {
    struct Case {
        const char* input;
        int answer;
    };
    for (const Case& c : {Case{"y\n", 1}, Case{"yes\n", 1}, Case{"YES\n", 1}, Case{"  Yes \r\n", 1},
                          Case{"Y", 1}, Case{"n\n", 0}, Case{"\n", 0}, Case{"yeah\n", 0},
                          Case{"no\n", 0}, Case{"y y\n", 0}, Case{"", 0}}) {
        std::istringstream in(c.input);
        std::ostringstream out, err;
        EXPECT_EQ(CreateConsoleEngine({}, in, out, err)->ConfirmPopup("Ruvuvuri", kQuestion),
                  c.answer)
            << c.input;
        EXPECT_EQ(err.str().rfind("Ruvuvuri: " + kQuestion + " [y/N] ", 0), 0u) << err.str();
        EXPECT_EQ(out.str(), "");
    }
}

TEST(ConsoleEngine, ExitAndEndOfInputPressTheExitButton) {
    struct Case {
        const char* input;
        bool exit_quits;
        int code;
        bool edit_read;
    };
    for (const Case& c : {Case{"exit\ncore 250\n", true, 7, false}, Case{"QUIT\n", true, 7, false},
                          Case{"core 250\n", true, 7, true}, Case{"", true, 7, false},
                          Case{"exit\ncore 250\n", false, 0, true}}) {
        Session session(c.input, kPanelPath, c.exit_quits);
        EXPECT_EQ(session.Run(), c.code) << c.input;
        ASSERT_FALSE(session.calls.empty()) << c.input;
        for (const Call& call : session.calls) {
            EXPECT_EQ(call.name, "Exit") << c.input;
            EXPECT_EQ(call.event, EVENT_COMMIT) << c.input;
        }
        // The lines after an exit that quits are never read.
        EXPECT_EQ(session.AfterFirstPanel().find("250.000 MHz") != std::string::npos, c.edit_read)
            << c.input;
    }
}

// A clock the program sets is shown as it is, also outside the limits (a PLL
// left there by another tool), so that an untouched field gives it back.
TEST(ConsoleEngine, ClockFieldsKeepThreeDecimalsAndShowWhatTheProgramSets) {
    struct Case {
        double set;
        double kept;
    };
    for (const Case& c : {Case{200.4524, 200.452}, Case{200.4526, 200.453}, Case{166.0884, 166.088},
                          Case{500.0, 500.0}, Case{69.999, 69.999}, Case{0.0, 0.0},
                          Case{std::numeric_limits<double>::quiet_NaN(), 80.0},
                          Case{std::numeric_limits<double>::infinity(), 400.0}}) {
        Session session("");
        session.engine->SetCtrlVal(session.handle, PANEL_CORECLK, c.set);
        EXPECT_EQ(session.Double(PANEL_CORECLK), c.kept) << c.set;
    }
}

TEST(ConsoleEngine, LoadPanelFailuresKeepTheReasonAndPrintNothing) {
    const std::string no_button =
        WriteTemp("console_engine_test_callback.ui",
                  PanelWith("<string>SetNewClocks</string>", "<string>Overclock</string>"));
    const std::string no_control = WriteTemp(
        "console_engine_test_control.ui", PanelWith("name=\"PANEL_TIMING2\"", "name=\"timing2\""));
    struct Case {
        std::string file;
        const char* reason;
    };
    for (const Case& c :
         {Case{"/nonexistent/Ruvuvuri.ui", "No such file or directory"},
          Case{no_control, "lacks the control PANEL_TIMING2"},
          Case{no_button, "button APPLY calls 'Overclock', which the program does not have"}}) {
        Session session("", c.file);
        EXPECT_LT(session.handle, 0) << c.file;
        EXPECT_NE(session.engine->last_error().find(c.reason), std::string::npos)
            << session.engine->last_error();
        EXPECT_EQ(session.out.str(), "");
        EXPECT_EQ(session.err.str(), "");
    }

    // The program's table lacks a callback the file names.
    std::istringstream in;
    std::ostringstream out, err;
    const ControlCallback ignore = [](int, int, int, void*, int, int) { return 0; };
    auto engine = CreateConsoleEngine(
        {{"SetNewClocks", ignore}, {"Preview", ignore}, {"Restore", ignore}}, in, out, err);
    EXPECT_LT(engine->LoadPanel(0, kPanelPath, PANEL), 0);
    EXPECT_NE(engine->last_error().find("'Exit'"), std::string::npos) << engine->last_error();
    EXPECT_LT(engine->LoadPanel(0, kPanelPath, 2), 0);
    EXPECT_EQ(out.str() + err.str(), "");

    std::filesystem::remove(no_button);
    std::filesystem::remove(no_control);
}

TEST(ConsoleEngine, PopupsGoToTheErrorStream) {
    Session session("");
    session.engine->MessagePopup("Ruvuvuri", "I think, you don't have GeForce card?");
    EXPECT_EQ(session.err.str(), "Ruvuvuri: I think, you don't have GeForce card?\n");
    EXPECT_EQ(session.out.str(), "");
}

// A person at a terminal gets a prompt before each command and the whole
// panel after each change; a script gets the panel once, then only the rows
// that changed, and no prompt.
TEST(ConsoleEngine, TerminalPromptsAndReprintsWhileAScriptSeesOnlyChanges) {
    struct Case {
        ConsoleInput who;
        std::size_t prompts;
        std::size_t panels;
        std::size_t core_rows;  // rows naming the core clock
        std::size_t memory_rows;
    };
    for (const Case& c :
         {Case{ConsoleInput::Terminal, 4, 3, 3, 3}, Case{ConsoleInput::Script, 0, 1, 2, 1}}) {
        Session session("core 250\ncore 250\nt1 0\n", kPanelPath, true, c.who);
        session.Run();
        const std::string out = session.out.str();
        EXPECT_EQ(Count(out, "ruvuvuri> "), c.prompts) << out;
        EXPECT_EQ(session.PanelsPrinted(), c.panels) << out;
        EXPECT_EQ(Count(out, "Core clock "), c.core_rows) << out;
        EXPECT_EQ(Count(out, "Memory clock "), c.memory_rows) << out;
        EXPECT_EQ(session.err.str(), "");
        // A person who reached the end of the input is not asked any more.
        EXPECT_FALSE(session.engine->interactive());
    }
    std::istringstream in("show\n");
    std::ostringstream out, err;
    EXPECT_TRUE(CreateConsoleEngine({}, in, out, err, ConsoleInput::Terminal)->interactive());
    EXPECT_FALSE(CreateConsoleEngine({}, in, out, err, ConsoleInput::Script)->interactive());
}

// Details below the question come before the answer is asked for; the
// question alone keeps its one-line form.
TEST(ConsoleEngine, ConfirmationDetailsComeBelowTheQuestion) {
    std::istringstream in("n\n");
    std::ostringstream out, err;
    EXPECT_EQ(CreateConsoleEngine({}, in, out, err)
                  ->ConfirmPopup("Ruvuvuri", kQuestion + "\n\nCore clock: 1 -> 2"),
              0);
    EXPECT_EQ(err.str(), "Ruvuvuri: " + kQuestion + "\n\nCore clock: 1 -> 2\n[y/N] n\n");
}

// The status line is the panel's only optional control: a panel file without
// it still loads and works, and the apply's status shows where it is.
TEST(ConsoleEngine, TheStatusLineIsOptional) {
    const std::string file = WriteTemp("console_engine_test_status.ui",
                                       PanelWith("name=\"PANEL_STATUS\"", "name=\"statusLine\""));
    for (const std::string& panel : {kPanelPath, file}) {
        Session session("", panel);
        ASSERT_GT(session.handle, 0) << session.engine->last_error();
        session.engine->SetCtrlVal(session.handle, PANEL_STATUS, std::string("Core 1 MHz"));
        session.Run();
        EXPECT_EQ(session.out.str().find("  Core 1 MHz\n") != std::string::npos,
                  panel == kPanelPath)
            << session.out.str();
    }
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace ruvuvuri::ui
