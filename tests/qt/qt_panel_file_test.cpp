// SPDX-License-Identifier: GPL-2.0-or-later
// The panel file and the engine's checks of it: what the real ui/Ruvuvuri.ui
// offers, which broken files are refused, and how values show in the controls.
#include <QApplication>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "ui/engine_loader.h"
#include "ui/panel_file.h"

using ruvuvuri::ui::CallbackTable;
using ruvuvuri::ui::ControlKind;
using ruvuvuri::ui::kPanelControls;
namespace ui = ruvuvuri::ui;

namespace {

const QString kPanelFile = QStringLiteral(RUVUVURI_SOURCE_DIR "/ui/Ruvuvuri.ui");

CallbackTable ProgramCallbacks() {
    auto ignore = [](int, int, int, void*, int, int) { return 0; };
    return {{"SetNewClocks", ignore}, {"Preview", ignore}, {"Restore", ignore}, {"Exit", ignore}};
}

std::unique_ptr<ui::UiEngine> MakeEngine(const CallbackTable& callbacks = ProgramCallbacks()) {
    std::string error;
    auto engine = ui::qt::CreateQtEngine(callbacks, &error);
    if (engine == nullptr) {
        qFatal("cannot create the engine: %s", error.c_str());
    }
    return engine;
}

// The loaded panel's window: the top-level widget the panel file names PANEL.
QWidget* PanelWindow() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == QLatin1String("PANEL")) {
            return top;
        }
    }
    return nullptr;
}

QByteArray ReadPanelFile() {
    QFile file(kPanelFile);
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("cannot read %s", qPrintable(kPanelFile));
    }
    return file.readAll();
}

}  // namespace

class PanelFileTest : public QObject {
    Q_OBJECT

  private slots:
    void realPanelHasEveryControl() {
        auto engine = MakeEngine();
        const int panel = engine->LoadPanel(0, kPanelFile.toStdString(), ui::PANEL);
        QVERIFY2(panel > 0, engine->last_error().c_str());
        QWidget* window = PanelWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral("Ruvuvuri"));
        QVERIFY(!window->windowIcon().isNull());
        for (const ui::PanelControl& control : kPanelControls) {
            auto* widget = window->findChild<QWidget*>(QLatin1String(control.name));
            QVERIFY2(widget != nullptr, control.name);
            auto* line = qobject_cast<QLineEdit*>(widget);
            switch (control.kind) {
                case ControlKind::Double:
                    QVERIFY2(qobject_cast<QDoubleSpinBox*>(widget) != nullptr, control.name);
                    break;
                case ControlKind::Integer:
                    QVERIFY2(line != nullptr, control.name);
                    break;
                case ControlKind::Text:
                    QVERIFY2(line != nullptr || qobject_cast<QLabel*>(widget) != nullptr,
                             control.name);
                    break;
            }
            if (line != nullptr) {
                QVERIFY2(line->isReadOnly() == !control.editable, control.name);
                // Only what the user can change is a Tab stop.
                QVERIFY2(((line->focusPolicy() & Qt::TabFocus) != 0) == control.editable,
                         control.name);
            }
            // The console engine labels each control with its buddy label.
            bool labelled = control.id == ui::PANEL_BANNER || control.id == ui::PANEL_STATUS;
            for (QLabel* label : window->findChildren<QLabel*>()) {
                labelled = labelled || label->buddy() == widget;
            }
            QVERIFY2(labelled, control.name);
        }
    }

    void clockLimitsAndTimingMasks() {
        auto engine = MakeEngine();
        const int panel = engine->LoadPanel(0, kPanelFile.toStdString(), ui::PANEL);
        QVERIFY(panel > 0);
        QWidget* window = PanelWindow();
        auto* core = window->findChild<QDoubleSpinBox*>(QStringLiteral("PANEL_CORECLK"));
        auto* memory = window->findChild<QDoubleSpinBox*>(QStringLiteral("PANEL_MEMCLK"));
        const struct {
            int control;
            QDoubleSpinBox* spin;
            double maximum;
            const char* tip;
        } clocks[] = {
            {ui::PANEL_CORECLK, core, 400.0, "Core clock: 80.000 to 400.000 MHz"},
            {ui::PANEL_MEMCLK, memory, 800.0, "Memory clock: 80.000 to 800.000 MHz"},
        };
        for (const auto& clock : clocks) {
            double low = 0, high = 0;
            QVERIFY(engine->GetCtrlLimits(panel, clock.control, &low, &high));
            QCOMPARE(low, 80.0);
            QCOMPARE(high, clock.maximum);
            QCOMPARE(clock.spin->decimals(), 3);
            QCOMPARE(clock.spin->suffix(), QStringLiteral(" MHz"));
            QVERIFY2(clock.spin->toolTip().startsWith(QLatin1String(clock.tip)),
                     qPrintable(clock.spin->toolTip()));
            // Typing past the limit keeps every keystroke, for Apply to refuse.
            clock.spin->findChild<QLineEdit*>()->selectAll();
            QTest::keyClicks(clock.spin, QStringLiteral("999"));
            QCOMPARE(clock.spin->cleanText(), QStringLiteral("999"));
            double read = 0;
            QVERIFY(!engine->GetCtrlVal(panel, clock.control, &read));
        }
        for (const char* name : {"PANEL_TIMING0", "PANEL_TIMING1", "PANEL_TIMING2"}) {
            auto* timing = window->findChild<QLineEdit*>(QLatin1String(name));
            QVERIFY2(timing->toolTip().contains(QLatin1String("0x00000000 to 0xFFFFFFFF")), name);
            timing->setText(QStringLiteral("FFFFFFFF"));
            QVERIFY2(timing->hasAcceptableInput(), name);
            QCOMPARE(timing->text(), QStringLiteral("FFFFFFFF"));
        }
        const std::tuple<const char*, const char*, const char*> buttons[] = {
            {"APPLY", "SetNewClocks", "Alt+A"},
            {"PREVIEW", "Preview", "Alt+P"},
            {"EXIT", "Exit", "Alt+X"}};
        for (const auto& [name, callback, shortcut] : buttons) {
            auto* button = window->findChild<QPushButton*>(QLatin1String(name));
            QVERIFY2(button != nullptr, name);
            QCOMPARE(button->property("callback").toString(), QLatin1String(callback));
            QCOMPARE(button->shortcut(), QKeySequence(QLatin1String(shortcut)));
        }
    }

    // The same checks, and so the same messages, as the console engine's.
    void brokenPanelFilesAreRefused_data() {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing control")
            << QByteArray("name=\"PANEL_MEMCLK\"") << QByteArray("name=\"memoryClock\"")
            << "lacks the control PANEL_MEMCLK";
        QTest::newRow("wrong class")
            << QByteArray("class=\"QDoubleSpinBox\" name=\"PANEL_CORECLK\"")
            << QByteArray("class=\"QSpinBox\" name=\"PANEL_CORECLK\"")
            << "PANEL_CORECLK is a QSpinBox, not a QDoubleSpinBox";
        QTest::newRow("unknown callback")
            << QByteArray("<string>SetNewClocks</string>")
            << QByteArray("<string>Overclock</string>")
            << "button APPLY calls 'Overclock', which the program does not have";
        QTest::newRow("other panel") << QByteArray("name=\"PANEL\"") << QByteArray("name=\"MAIN\"")
                                     << "the top-level widget is not named PANEL";
        QTest::newRow("not a panel file")
            << QByteArray("<ui version") << QByteArray("<<<") << "not valid XML";
    }

    void brokenPanelFilesAreRefused() {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QString, reason);
        QByteArray contents = ReadPanelFile();
        QVERIFY(contents.contains(from));
        contents.replace(from, to);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Ruvuvuri.ui"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
        file.close();

        auto engine = MakeEngine();
        QVERIFY(engine->LoadPanel(0, path.toStdString(), ui::PANEL) < 0);
        QVERIFY2(QString::fromStdString(engine->last_error()).contains(reason),
                 engine->last_error().c_str());
    }

    void missingFileOrCallbackIsRefused() {
        auto engine = MakeEngine();
        QVERIFY(engine->LoadPanel(0, "/nonexistent/Ruvuvuri.ui", ui::PANEL) < 0);
        QVERIFY(engine->last_error().find("/nonexistent/Ruvuvuri.ui") != std::string::npos);

        const ruvuvuri::ui::ControlCallback ignore = [](int, int, int, void*, int, int) {
            return 0;
        };
        auto without_exit =
            MakeEngine({{"SetNewClocks", ignore}, {"Preview", ignore}, {"Restore", ignore}});
        QVERIFY(without_exit->LoadPanel(0, kPanelFile.toStdString(), ui::PANEL) < 0);
        QVERIFY(without_exit->last_error().find("Exit") != std::string::npos);
    }

    // Red marks only what Apply would refuse: a clock the program set stays
    // black even outside the limits, the same text typed anew is refused.
    void refusedValuesTurnRed_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");  // empty: only the program's value
        QTest::addColumn<bool>("red");
        QTest::newRow("program clock outside the limits") << "PANEL_CORECLK"
                                                          << "" << false;
        QTest::newRow("clock within the limits") << "PANEL_CORECLK"
                                                 << "250" << false;
        QTest::newRow("clock past the limits") << "PANEL_CORECLK"
                                               << "999" << true;
        QTest::newRow("whole register") << "PANEL_TIMING0"
                                        << "0x12345678" << false;
        QTest::newRow("register digit missing") << "PANEL_TIMING0"
                                                << "0x1234567" << true;
    }

    void refusedValuesTurnRed() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(bool, red);
        auto engine = MakeEngine();
        const int panel = engine->LoadPanel(0, kPanelFile.toStdString(), ui::PANEL);
        engine->SetCtrlVal(panel, ui::PANEL_CORECLK, 450.0);
        engine->SetCtrlVal(panel, ui::PANEL_TIMING0, std::uint32_t{0x22322222});
        auto* widget = PanelWindow()->findChild<QWidget*>(field);
        if (!typed.isEmpty()) {
            auto* line = qobject_cast<QLineEdit*>(widget);
            (line != nullptr ? line : widget->findChild<QLineEdit*>())->selectAll();
            QTest::keyClicks(widget, typed);
        }
        QCOMPARE(widget->palette().color(QPalette::Text) == QColor(0xC0, 0x00, 0x00), red);
    }

    void integerControlsShowHex_data() {
        QTest::addColumn<int>("control");
        QTest::addColumn<quint32>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("vendor word") << ui::PANEL_ROMWORD_54 << 0x10DEu << "0x10DE";
        QTest::newRow("small word") << ui::PANEL_ROMWORD_56 << 0x15u << "0x0015";
        QTest::newRow("device") << ui::PANEL_DEVICEID << 0x0150u << "0x0150";
        QTest::newRow("timing") << ui::PANEL_TIMING0 << 0x22322222u << "0x22322222";
        QTest::newRow("timing leading zeros") << ui::PANEL_TIMING1 << 0x0A0Au << "0x00000A0A";
        QTest::newRow("timing all ones") << ui::PANEL_TIMING2 << 0xFFFFFFFFu << "0xFFFFFFFF";
    }

    void integerControlsShowHex() {
        QFETCH(int, control);
        QFETCH(quint32, value);
        QFETCH(QString, shown);
        auto engine = MakeEngine();
        const int panel = engine->LoadPanel(0, kPanelFile.toStdString(), ui::PANEL);
        engine->SetCtrlVal(panel, control, std::uint32_t{value});
        const char* name = nullptr;
        for (const ui::PanelControl& entry : kPanelControls) {
            name = entry.id == control ? entry.name : name;
        }
        auto* line = PanelWindow()->findChild<QLineEdit*>(QLatin1String(name));
        QCOMPARE(line->text(), shown);
        std::uint32_t read = 0;
        engine->GetCtrlVal(panel, control, &read);
        QCOMPARE(read, value);
    }

    void clockControlsKeepThreeDecimals_data() {
        QTest::addColumn<int>("control");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("expected");
        QTest::newRow("exact") << ui::PANEL_CORECLK << 200.452 << 200.452;
        QTest::newRow("rounded") << ui::PANEL_MEMCLK << 166.08849 << 166.088;
        QTest::newRow("rounded up") << ui::PANEL_CORECLK << 199.9996 << 200.0;
        // Shown as the program sets it, also outside the limits.
        QTest::newRow("above the limit") << ui::PANEL_CORECLK << 450.0 << 450.0;
        QTest::newRow("below the limit") << ui::PANEL_MEMCLK << 69.999 << 69.999;
        QTest::newRow("memory range") << ui::PANEL_MEMCLK << 800.0 << 800.0;
    }

    void clockControlsKeepThreeDecimals() {
        QFETCH(int, control);
        QFETCH(double, value);
        QFETCH(double, expected);
        auto engine = MakeEngine();
        const int panel = engine->LoadPanel(0, kPanelFile.toStdString(), ui::PANEL);
        engine->SetCtrlVal(panel, control, value);
        double read = 0;
        engine->GetCtrlVal(panel, control, &read);
        QCOMPARE(read, expected);
    }

    void textControlsAndWrongTypes() {
        auto engine = MakeEngine();
        const int panel = engine->LoadPanel(0, kPanelFile.toStdString(), ui::PANEL);
        engine->SetCtrlVal(panel, ui::PANEL_BIOSTEXT, std::string("GF2 GTS "));
        engine->SetCtrlVal(panel, ui::PANEL_BANNER, std::string("Ruvuvuri \xE2\x80\x94 test"));
        const auto shown = [](const char* name) {
            return PanelWindow()->findChild<QWidget*>(name)->property("text").toString();
        };
        QCOMPARE(shown("PANEL_BIOSTEXT").toStdString(), std::string("GF2 GTS "));
        QCOMPARE(shown("PANEL_BANNER").toStdString(), std::string("Ruvuvuri \xE2\x80\x94 test"));
        // BIOS bytes that are not UTF-8 still show one character each.
        engine->SetCtrlVal(panel, ui::PANEL_BIOSTEXT, std::string("NV\xFF"));
        QCOMPARE(shown("PANEL_BIOSTEXT").size(), 3);

        double clock = 123.0;
        engine->GetCtrlVal(panel, ui::PANEL_TIMING0, &clock);
        QCOMPARE(clock, 123.0);
        QVERIFY2(engine->last_error().find("holds no number") != std::string::npos,
                 engine->last_error().c_str());
        std::uint32_t word = 7;
        engine->GetCtrlVal(panel + 1, ui::PANEL_TIMING0, &word);
        QCOMPARE(word, 7u);
        QVERIFY(engine->last_error().find("handle") != std::string::npos);
    }
};

QTEST_MAIN(PanelFileTest)
#include "qt_panel_file_test.moc"
