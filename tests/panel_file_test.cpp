// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/panel_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace ruvuvuri::ui {
namespace {

const std::string kPanelPath = RUVUVURI_SOURCE_DIR "/ui/Ruvuvuri.ui";

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The shipped panel file with one piece of text replaced; fails the test when
// the piece is not there, so a changed panel file cannot make a case vacuous.
std::string PanelWith(const std::string& from, const std::string& to) {
    std::string text = ReadText(kPanelPath);
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << "the panel file no longer contains " << from;
    if (at != std::string::npos) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string ParseError(const std::string& xml) {
    try {
        ParsePanelFile(xml, "test.ui");
    } catch (const PanelFileError& error) {
        return error.what();
    }
    return "(no error)";
}

TEST(PanelFile, ShippedFileDescribesEveryControl) {
    const PanelFile panel = ReadPanelFile(kPanelPath);
    EXPECT_EQ(panel.title, "Ruvuvuri");

    struct Expected {
        int id;
        const char* widget_class;
        const char* label;
        bool read_only;
    };
    const Expected expected[] = {
        {PANEL_BIOSVER, "QLineEdit", "BIOS version", true},
        {PANEL_BIOSTEXT, "QLineEdit", "BIOS text", true},
        {PANEL_ROMWORD_54, "QLineEdit", "Subsystem vendor", true},
        {PANEL_ROMWORD_56, "QLineEdit", "Subsystem device", true},
        {PANEL_DEVICEID, "QLineEdit", "Device ID", true},
        {PANEL_CORECLK, "QDoubleSpinBox", "Core clock", false},
        {PANEL_MEMCLK, "QDoubleSpinBox", "Memory clock", false},
        {PANEL_TIMING0, "QLineEdit", "Timing 0 (0x100220)", false},
        {PANEL_TIMING1, "QLineEdit", "Timing 1 (0x100224)", false},
        {PANEL_TIMING2, "QLineEdit", "Timing 2 (0x100228)", false},
        {PANEL_BANNER, "QLabel", "", false},
        {PANEL_STATUS, "QLabel", "", false},
    };
    ASSERT_EQ(panel.controls.size(), std::size(expected));
    for (const Expected& want : expected) {
        const PanelFileControl* control = panel.FindControl(want.id);
        ASSERT_NE(control, nullptr) << want.id;
        EXPECT_EQ(control->widget_class, want.widget_class) << control->name;
        EXPECT_EQ(control->label, want.label) << control->name;
        EXPECT_EQ(control->read_only, want.read_only) << control->name;
    }

    struct Limits {
        int id;
        double minimum;
        double maximum;
    };
    for (const Limits& want :
         {Limits{PANEL_CORECLK, 80.0, 400.0}, Limits{PANEL_MEMCLK, 80.0, 800.0}}) {
        const PanelFileControl* control = panel.FindControl(want.id);
        EXPECT_EQ(control->minimum, want.minimum) << control->name;
        EXPECT_EQ(control->maximum, want.maximum) << control->name;
        EXPECT_EQ(control->decimals, 3) << control->name;
        EXPECT_EQ(control->suffix, " MHz") << control->name;
    }

    const PanelFileButton* apply = panel.FindButtonByCallback("SetNewClocks");
    const PanelFileButton* exit = panel.FindButtonByCallback("Exit");
    ASSERT_NE(apply, nullptr);
    ASSERT_NE(exit, nullptr);
    EXPECT_EQ(apply->text, "Apply");
    EXPECT_EQ(exit->text, "Exit");
}

TEST(PanelFile, AcceleratorsAndTrailingColonLeaveTheLabel) {
    const PanelFile panel =
        ParsePanelFile(PanelWith("<string>&amp;Core clock:</string>",
                                 "<string> Core &amp;&amp; &amp;GPU :</string>"),
                       "test.ui");
    EXPECT_EQ(panel.FindControl(PANEL_CORECLK)->label, "Core & GPU");
}

TEST(PanelFile, BrokenFilesFailNamingTheCause) {
    struct Case {
        const char* what;
        std::string xml;
        std::vector<std::string> message_parts;
    };
    const Case cases[] = {
        {"control missing",
         PanelWith("name=\"PANEL_MEMCLK\"", "name=\"memclk\""),
         {"test.ui", "lacks the control PANEL_MEMCLK", "QDoubleSpinBox"}},
        {"wrong widget class",
         PanelWith("class=\"QDoubleSpinBox\" name=\"PANEL_CORECLK\"",
                   "class=\"QSpinBox\" name=\"PANEL_CORECLK\""),
         {"PANEL_CORECLK is a QSpinBox, not a QDoubleSpinBox"}},
        {"two widgets with one name",
         PanelWith("name=\"biosTextLabel\"", "name=\"PANEL_BIOSVER\""),
         {"more than one widget PANEL_BIOSVER"}},
        {"top-level widget renamed", PanelWith("name=\"PANEL\">", "name=\"MAIN\">"), {"PANEL"}},
        {"limit not a number",
         PanelWith("<double>400.000000000000000</double>", "<double>four hundred</double>"),
         {"maximum", "PANEL_CORECLK", "four hundred"}},
        {"minimum above maximum",
         PanelWith("<double>800.000000000000000</double>", "<double>50</double>"),
         {"PANEL_MEMCLK has a minimum above its maximum"}},
        {"truncated XML", ReadText(kPanelPath).substr(0, 2000), {"not valid XML", "line "}},
        {"not a Designer file", "<html><body/></html>", {"no <ui> element"}},
        {"empty file", "", {"not valid XML"}},
    };
    for (const Case& c : cases) {
        const std::string message = ParseError(c.xml);
        for (const std::string& part : c.message_parts) {
            EXPECT_NE(message.find(part), std::string::npos)
                << c.what << ": '" << part << "' not in: " << message;
        }
    }
}

TEST(PanelFile, UnreadableFilesFailNamingTheFile) {
    const std::filesystem::path folder = testing::TempDir();
    const std::filesystem::path broken = folder / "panel_file_test_broken.ui";
    std::ofstream(broken) << "<ui version=\"4.0\"><widget class=\"QWidget\" name=\"PANEL\">";

    struct Case {
        std::filesystem::path path;
        const char* cause;
    };
    for (const Case& c : {Case{folder / "no-such-panel.ui", "No such file or directory"},
                          Case{folder, "is a folder"}, Case{broken, "not valid XML"}}) {
        try {
            ReadPanelFile(c.path);
            ADD_FAILURE() << c.path << " was accepted";
        } catch (const PanelFileError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(c.path.string()), std::string::npos) << message;
            EXPECT_NE(message.find(c.cause), std::string::npos) << message;
        }
    }
    std::filesystem::remove(broken);
}

}  // namespace
}  // namespace ruvuvuri::ui
