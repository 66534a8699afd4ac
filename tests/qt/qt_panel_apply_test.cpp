// The real panel file on the Qt engine with the program's callbacks over the
// simulated card: the user edits the core clock, presses Apply and answers the
// confirmation; the card is programmed (or not) and the panel shows what the
// card reads back.
#include <QApplication>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "app/builtin_card.h"
#include "app/panel.h"
#include "app/panel_ids.h"
#include "hw/backends/sim_card.h"
#include "ui/qt/qt_engine.h"

namespace app = ruvuvuri::app;
namespace hw = ruvuvuri::hw;
using ruvuvuri::ui::qt::QtEngine;

namespace {

const std::string kPanelFile = RUVUVURI_SOURCE_DIR "/ui/Ruvuvuri.ui";

// The program's world as main builds it, on the built-in card.
struct World {
    World()
        : sim(app::BuiltinGeForce2Gts()), window(sim), engine(window), panel(bios, engine, window) {
        sim.ReadFromPhysicalMemory(0xC0000, bios.image());
        engine.CanChangeClocks = 1;
        window.SetBaseport();
        engine.GetCurrentClocks();
        std::string error;
        ui = QtEngine::Create(panel.Callbacks(), &error);
        if (ui == nullptr) {
            qFatal("cannot create the engine: %s", error.c_str());
        }
        panel.AttachEngine(*ui);
    }

    hw::SimCard sim;
    ruvuvuri::card::BiosImage bios;
    hw::RegisterWindow window;
    ruvuvuri::clock::ClockEngine engine;
    app::MainPanel panel;
    std::unique_ptr<QtEngine> ui;
};

template <typename T>
T* Find(const char* name) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* found = top->findChild<T*>(name)) {
            return found;
        }
    }
    return nullptr;
}

// Answers the confirmation once it is open, remembering its text.
void Answer(QMessageBox::StandardButton button, QString* text) {
    QTimer::singleShot(0, [button, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            Answer(button, text);
            return;
        }
        *text = box->text();
        box->button(button)->click();
    });
}

}  // namespace

class PanelApplyTest : public QObject {
    Q_OBJECT

  private slots:
    void applyProgramsTheCardAndShowsTheReadBack_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<double>("shown");
        QTest::addColumn<uint>("core_word");
        QTest::addColumn<QString>("timing0");
        QTest::newRow("yes") << int(QMessageBox::Yes) << 174.997 << 0x00006e09u << "12345678";
        QTest::newRow("no") << int(QMessageBox::No) << 200.452 << 0x00006207u << "22322222";
    }

    void applyProgramsTheCardAndShowsTheReadBack() {
        QFETCH(int, answer);
        QFETCH(double, shown);
        QFETCH(uint, core_word);
        QFETCH(QString, timing0);
        World world;
        const std::map<std::uint32_t, std::uint32_t> before = world.sim.state().registers;
        QString question;

        // The user's part, once the panel is up: edit, Apply, answer, Exit.
        // What the panel showed is checked after the loop, so that a failed
        // check cannot leave the loop running.
        double shown_before = 0.0, shown_after = 0.0;
        QString timing_after;
        QTimer::singleShot(0, [&] {
            auto* core = Find<QDoubleSpinBox>("PANEL_CORECLK");
            auto* timing = Find<QLineEdit>("PANEL_TIMING0");
            if (core != nullptr && timing != nullptr) {
                shown_before = core->value();
                core->setValue(175.0);
                timing->setText("12345678");
                Answer(QMessageBox::StandardButton(answer), &question);
                QTest::mouseClick(Find<QPushButton>("APPLY"), Qt::LeftButton);
                shown_after = core->value();
                timing_after = timing->text();
            }
            QTest::mouseClick(Find<QPushButton>("EXIT"), Qt::LeftButton);
        });
        QCOMPARE(world.panel.Start(kPanelFile, "banner"), 0);

        QCOMPARE(shown_before, 200.452);
        QCOMPARE(shown_after, shown);
        QCOMPARE(timing_after, timing0);
        QCOMPARE(question, QString("Core,Memory clocks and Timings will be changed now!\n"
                                   "Are You shure?"));
        const auto& registers = world.sim.state().registers;
        QCOMPARE(registers.at(0x680500), core_word);
        if (answer == QMessageBox::Yes) {
            QCOMPARE(registers.at(0x100220), 0x12345678u);
            QCOMPARE(registers.at(0x68050C) & 0x500u, 0x500u);
        } else {
            QCOMPARE(registers.at(0x100220), before.at(0x100220));
            QCOMPARE(registers.at(0x68050C), before.at(0x68050C));
        }
        QVERIFY(world.sim.state().faults.empty());
    }
};

QTEST_MAIN(PanelApplyTest)
#include "qt_panel_apply_test.moc"
