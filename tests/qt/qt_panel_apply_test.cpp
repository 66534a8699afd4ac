// SPDX-License-Identifier: GPL-2.0-or-later
// The real panel file on the Qt engine with the program's callbacks over the
// simulated card: the user edits the core clock, presses Apply and answers the
// confirmation; the card is programmed (or not) and the panel shows what the
// card reads back.
#include <QApplication>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <QPointer>

#include <csignal>
#include <functional>

#include "app/keep_question.h"
#include "app/panel.h"
#include "app/sim_backends.h"
#include "hw/backends/sim_card.h"
#include "ui/engine_loader.h"

namespace app = ruvuvuri::app;
namespace hw = ruvuvuri::hw;

namespace {

const std::string kPanelFile = RUVUVURI_SOURCE_DIR "/ui/Ruvuvuri.ui";

// A memory PLL at 62.999 MHz, below the panel's limits (80 to 800 MHz); the
// coefficient search gives this word back for that clock.
constexpr std::uint32_t kSlowMemoryPll = 0x0002b00a;

// The program's world as main builds it, on the built-in card.
struct World {
    explicit World(std::uint32_t memory_pll = 0)
        : sim(app::BuiltinGeForce2Gts()), window(sim), engine(window), panel(bios, engine) {
        if (memory_pll != 0) {
            sim.state().registers[0x680504] = memory_pll;
        }
        sim.ReadFromPhysicalMemory(0xC0000, bios.image());
        engine.EnableClockChanges();
        engine.GetCurrentClocks();
        std::string error;
        ui = ruvuvuri::ui::qt::CreateQtEngine(panel.Callbacks(), &error);
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
    std::unique_ptr<ruvuvuri::ui::UiEngine> ui;
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

// Answers the next popup once it is open, remembering its text and the
// details below it.
void Answer(QMessageBox::StandardButton button, QString* text, QString* details = nullptr) {
    QTimer::singleShot(0, [button, text, details] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            Answer(button, text, details);
            return;
        }
        *text = box->text();
        if (details != nullptr) {
            *details = box->informativeText();
        }
        // Without the expected button (a question where a message was due),
        // the answer is yes, so that a wrong popup shows in what is written.
        QAbstractButton* pressed = box->button(button);
        (pressed != nullptr ? pressed : box->button(QMessageBox::Yes))->click();
    });
}

// Runs each action on the next message box that comes up, one box each.
class ModalScript : public QObject {
  public:
    explicit ModalScript(std::vector<std::function<void(QMessageBox*)>> actions)
        : actions_(std::move(actions)) {
        connect(&poll_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr && box != handled_.data() && next_ < actions_.size()) {
                handled_ = box;
                actions_[next_++](box);
            }
        });
        poll_.start(10);
    }

  private:
    std::vector<std::function<void(QMessageBox*)>> actions_;
    std::size_t next_ = 0;
    QPointer<QMessageBox> handled_;
    QTimer poll_;
};

volatile std::sig_atomic_t signal_delivered = 0;
extern "C" void RecordSignal(int) {
    signal_delivered = 1;
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
        QTest::addColumn<QString>("status");
        QTest::newRow("yes") << int(QMessageBox::Yes) << 174.997 << 0x00006e09u << "0x12345678"
                             << "Core 174.997 MHz, asked 175; memory 166.088 MHz, asked 166.088; "
                                "timings as written.";
        QTest::newRow("no") << int(QMessageBox::No) << 200.452 << 0x00006207u << "0x22322222"
                            << "Nothing was written; the fields show the card again.";
    }

    void applyProgramsTheCardAndShowsTheReadBack() {
        QFETCH(int, answer);
        QFETCH(double, shown);
        QFETCH(uint, core_word);
        QFETCH(QString, timing0);
        QFETCH(QString, status);
        World world;
        const std::map<std::uint32_t, std::uint32_t> before = world.sim.state().registers;
        QString question;

        // The user's part, once the panel is up: edit, Apply, answer, Exit.
        // What the panel showed is checked after the loop, so that a failed
        // check cannot leave the loop running.
        double shown_before = 0.0, shown_after = 0.0;
        QString timing_after, status_after, details;
        QTimer::singleShot(0, [&] {
            auto* core = Find<QDoubleSpinBox>("PANEL_CORECLK");
            auto* timing = Find<QLineEdit>("PANEL_TIMING0");
            if (core != nullptr && timing != nullptr) {
                shown_before = core->value();
                core->setValue(175.0);
                timing->setText("12345678");
                Answer(QMessageBox::StandardButton(answer), &question, &details);
                QTest::mouseClick(Find<QPushButton>("APPLY"), Qt::LeftButton);
                shown_after = core->value();
                timing_after = timing->text();
                status_after = Find<QLabel>("PANEL_STATUS")->text();
            }
            QTest::mouseClick(Find<QPushButton>("EXIT"), Qt::LeftButton);
        });
        QCOMPARE(world.panel.Start(kPanelFile, "banner"), 0);

        QCOMPARE(shown_before, 200.452);
        QCOMPARE(shown_after, shown);
        QCOMPARE(timing_after, timing0);
        // The question as it stands; the changes below it.
        QCOMPARE(question, QString("Core,Memory clocks and Timings will be changed now!\n"
                                   "Are You shure?"));
        QCOMPARE(details, QString("Core clock: 200.452 MHz -> 174.997 MHz (asked 175.000)\n"
                                  "Timing 0 (0x100220): 0x22322222 -> 0x12345678"));
        QCOMPARE(status_after, status);
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

    // The panel writes only what it shows: a field without a complete value
    // stops Apply with a message naming it, and nothing is written.
    void incompleteFieldsAreRefusedAndNothingIsWritten_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("named");
        QTest::newRow("digit deleted") << "backspace"
                                       << "Timing 0 (0x100220)";
        QTest::newRow("emptied") << "clear"
                                 << "Timing 0 (0x100220)";
        QTest::newRow("clock below the limits") << "memory 70"
                                                << "Memory clock";
        QTest::newRow("clock typed past the limits")
            << "core 999"
            << "Core clock holds no number within the panel's limits (80.000 to 400.000 MHz)";
    }

    void incompleteFieldsAreRefusedAndNothingIsWritten() {
        QFETCH(QString, edit);
        QFETCH(QString, named);
        World world(kSlowMemoryPll);
        const std::map<std::uint32_t, std::uint32_t> before = world.sim.state().registers;
        QString message, discard;
        QString timing_after;
        QTimer::singleShot(0, [&] {
            auto* timing = Find<QLineEdit>("PANEL_TIMING0");
            auto* memory = Find<QDoubleSpinBox>("PANEL_MEMCLK");
            if (timing != nullptr && memory != nullptr) {
                timing->setFocus();
                timing->end(false);
                if (edit == "backspace") {
                    QTest::keyClick(timing, Qt::Key_Backspace);
                } else if (edit == "clear") {
                    timing->clear();
                } else if (edit == "memory 70") {
                    memory->findChild<QLineEdit*>()->setText("70");
                } else {
                    auto* core = Find<QDoubleSpinBox>("PANEL_CORECLK");
                    core->findChild<QLineEdit*>()->selectAll();
                    QTest::keyClicks(core, "999");
                }
                Answer(QMessageBox::Ok, &message);
                QTest::mouseClick(Find<QPushButton>("APPLY"), Qt::LeftButton);
                timing_after = timing->text();
            }
            // The edits are still there: Exit asks before discarding them.
            Answer(QMessageBox::Yes, &discard);
            QTest::mouseClick(Find<QPushButton>("EXIT"), Qt::LeftButton);
        });
        QCOMPARE(world.panel.Start(kPanelFile, "banner"), 0);

        QVERIFY2(message.contains(named), qPrintable(message));
        QVERIFY(message.contains("Nothing was written"));
        QVERIFY(world.sim.state().registers == before);
        // The edit stays for the user to correct.
        QCOMPARE(timing_after, edit == "backspace" ? QString("0x2232222")
                               : edit == "clear"   ? QString()
                                                   : QString("0x22322222"));
        QVERIFY2(discard.contains("Exit and discard them?"), qPrintable(discard));
    }

    // --revert-after on the Qt panel: after Apply a dialog counts down; only
    // Keep leaves the new clock, and a stop signal during it counts as no.
    void theCountdownDialogRevertsUnlessKept_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("keep") << "keep";
        QTest::newRow("time out") << "none";
        QTest::newRow("escape") << "escape";
        QTest::newRow("signal") << "signal";
    }

    void theCountdownDialogRevertsUnlessKept() {
        QFETCH(QString, action);
        World world;
        world.panel.SetAfterApply(
            [&](const ruvuvuri::clock::ClockReading& read) -> const ruvuvuri::clock::ClockReading& {
                return app::ConfirmOrRevert(world.engine, read, *world.ui, 1);
            });
        const std::map<std::uint32_t, std::uint32_t> before = world.sim.state().registers;
        struct sigaction recorder {
        }, previous{};
        recorder.sa_handler = RecordSignal;
        sigaction(SIGUSR1, &recorder, &previous);
        signal_delivered = 0;

        QString countdown, buttons, reverted;
        const auto press = [](QMessageBox* box, const QString& text) {
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == text) {
                    button->click();
                }
            }
        };
        ModalScript script({
            [&](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); },
            [&](QMessageBox* box) {
                countdown = box->text();
                buttons = box->buttons().at(0)->text() + "," + box->buttons().at(1)->text() +
                          " default " + box->defaultButton()->text();
                if (action == "keep") {
                    press(box, "&Keep");
                } else if (action == "escape") {
                    QTest::keyClick(box, Qt::Key_Escape);
                } else if (action == "signal") {
                    std::raise(SIGUSR1);
                    // Pressed only if the signal has not closed the dialog.
                    QTimer::singleShot(300, box, [box, press] { press(box, "&Keep"); });
                }
            },
            [&](QMessageBox* box) {
                reverted = box->text();
                box->button(QMessageBox::Ok)->click();
            },
        });
        QTimer::singleShot(0, [&] {
            if (auto* core = Find<QDoubleSpinBox>("PANEL_CORECLK")) {
                core->setValue(175.0);
                QTest::mouseClick(Find<QPushButton>("APPLY"), Qt::LeftButton);
            }
            QTest::mouseClick(Find<QPushButton>("EXIT"), Qt::LeftButton);
        });
        QCOMPARE(world.panel.Start(kPanelFile, "banner"), 0);
        sigaction(SIGUSR1, &previous, nullptr);

        QCOMPARE(countdown, QString("Keep these settings? Reverting in 1 s"));
        QCOMPARE(buttons, QString("&Keep,&Revert default &Revert"));
        const auto& registers = world.sim.state().registers;
        if (action == "keep") {
            QCOMPARE(registers.at(0x680500), 0x00006e09u);
            QVERIFY(reverted.isEmpty());
        } else {
            for (const std::uint32_t address : {0x680500u, 0x680504u, 0x100220u, 0x100224u}) {
                QCOMPARE(registers.at(address), before.at(address));
            }
            QVERIFY2(reverted.startsWith("Reverted: core 200.452 MHz"), qPrintable(reverted));
        }
        // Held during the question and the revert, then delivered.
        QCOMPARE(int(signal_delivered), action == "signal" ? 1 : 0);
        QVERIFY(world.sim.state().faults.empty());
    }

    // A clock outside the panel's limits is shown as it is, and Apply with the
    // field untouched programs exactly that clock again, not the limit.
    void anUntouchedClockOutsideTheLimitsIsKept() {
        World world(kSlowMemoryPll);
        QString question;
        double shown = 0.0;
        QTimer::singleShot(0, [&] {
            if (auto* memory = Find<QDoubleSpinBox>("PANEL_MEMCLK")) {
                shown = memory->value();
                Answer(QMessageBox::Yes, &question);
                QTest::mouseClick(Find<QPushButton>("APPLY"), Qt::LeftButton);
            }
            QTest::mouseClick(Find<QPushButton>("EXIT"), Qt::LeftButton);
        });
        QCOMPARE(world.panel.Start(kPanelFile, "banner"), 0);

        QCOMPARE(shown, 62.999);
        QVERIFY(!question.isEmpty());
        QCOMPARE(world.sim.state().registers.at(0x680504), kSlowMemoryPll);
        QVERIFY(world.sim.state().faults.empty());
    }

    // The arrow keys step to the neighbouring clocks the PLL can make with
    // the card's 14.318 MHz crystal; typing stays free.
    void arrowsStepToReachableClocks() {
        World world;
        std::vector<double> seen;
        QString discard;
        QTimer::singleShot(0, [&] {
            if (auto* core = Find<QDoubleSpinBox>("PANEL_CORECLK")) {
                core->setFocus();
                QTest::keyClick(core, Qt::Key_Up);
                seen.push_back(core->value());
                QTest::keyClick(core, Qt::Key_Down);
                QTest::keyClick(core, Qt::Key_Down);
                seen.push_back(core->value());
                core->selectAll();
                QTest::keyClicks(core, "200.1");
                QTest::keyClick(core, Qt::Key_Tab);
                seen.push_back(core->value());
            }
            Answer(QMessageBox::Yes, &discard);  // the unapplied edit
            QTest::mouseClick(Find<QPushButton>("EXIT"), Qt::LeftButton);
        });
        QCOMPARE(world.panel.Start(kPanelFile, "banner"), 0);
        QCOMPARE(seen, (std::vector<double>{201.474, 199.429, 200.1}));
    }
};

QTEST_MAIN(PanelApplyTest)
#include "qt_panel_apply_test.moc"
